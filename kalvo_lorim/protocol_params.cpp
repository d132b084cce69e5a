// The parameter set of a point: fixed variables, algorithms, dynamic
// parameters and the status flag table.

#include <algorithm>
#include <cstring>

#include <boost/any.hpp>
#include <wx/intl.h>

#include "kalvo_lorim/bytes.h"
#include "kalvo_lorim/error.h"
#include "kalvo_lorim/protocol_fail.h"
#include "kalvo_lorim/serialportlorimprotocol.h"
#include "kalvo_lorim/unicode.h"
#include "kalvo_lorim/variables.h"

namespace kalvo_lorim {

using namespace variable;

namespace {

constexpr int kUnsupportedFormat = static_cast<int>(Error::UnsupportedDataFormat);
constexpr int kDataCorrupted = static_cast<int>(Error::DataCorrupted);

}  // namespace

// ---------------------------------------------------------------------------
// Helpers shared by the variable operations

std::uint32_t SerialPortLorimProtocol::ReadBounded(const Address& address, DataType type, std::uint8_t id,
                                                   void* destination, std::size_t size) {
  ExchangeRead(address, type, id);
  const std::uint32_t count = AnswerValueCount();
  const std::size_t copied = std::min<std::size_t>(count, size);
  if (copied > 0) std::memcpy(destination, GetAnswerData() + 1, copied);
  return count;
}

wxString SerialPortLorimProtocol::TextFromUtf16(const std::uint8_t* bytes, std::size_t count) {
  wxString text;
  const std::size_t units = count / 2;
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t u = static_cast<std::uint32_t>(bytes[2 * i]) | static_cast<std::uint32_t>(bytes[2 * i + 1]) << 8;
    if (u == 0) break;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const std::uint32_t v =
          static_cast<std::uint32_t>(bytes[2 * i + 2]) | static_cast<std::uint32_t>(bytes[2 * i + 3]) << 8;
      if (v >= 0xDC00 && v <= 0xDFFF) {
        text += wxUniChar(0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) {
      text += wxUniChar(0xFFFD);
    } else {
      text += wxUniChar(u);
    }
  }
  return text;
}

std::vector<char16_t> SerialPortLorimProtocol::Utf16FromText(const wxString& text) {
  std::vector<char16_t> units;
  units.reserve(text.length() + 1);
  for (wxString::const_iterator it = text.begin(); it != text.end(); ++it) {
    const std::uint32_t c = static_cast<std::uint32_t>((*it).GetValue());
    if (c >= 0x10000 && c <= 0x10FFFF) {
      units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else if (!IsCharacter(c) || c == 0) {
      // Not a character UTF-16 can carry (a lone surrogate would reach the
      // point as a malformed text), or one that would end the text early.
      units.push_back(static_cast<char16_t>(0xFFFD));
    } else {
      units.push_back(static_cast<char16_t>(c));
    }
  }
  units.push_back(0);
  return units;
}

wxString SerialPortLorimProtocol::ReadText(const Address& address, std::uint8_t id) {
  // The last unit of the room is kept for the terminator, so an answer
  // without one still ends inside the room.
  std::uint8_t area[2 * TextRoom] = {};
  const std::uint32_t count = ReadBounded(address, DataType::Text16, id, area, sizeof area - 2);
  return TextFromUtf16(area, std::min<std::size_t>(count, sizeof area - 2));
}

void SerialPortLorimProtocol::WriteText(const Address& address, std::uint8_t id, const wxString& text) {
  const std::vector<char16_t> units = Utf16FromText(text);
  WriteVariable(address, DataType::Text16, id, units.data());
}

// ---------------------------------------------------------------------------
// Parameter set

void SerialPortLorimProtocol::ReadPointParams(const Address& address, PointParams& params) {
  params.Reset();

  Address answering;
  Identify(address, &answering);
  params.SetAddress(answering);

  params.SetDeviceName(ReadText(address, kDeviceName));

  try {
    params.SetFirmwareVersion(ReadText(address, kFirmware));
  } catch (const Exception&) {
    params.SetFirmwareVersion(_("Unknown version"));
  }

  struct DateStep {
    std::uint8_t id;
    void (PointParams::*set)(const DateTime&);
  };
  const DateStep dates[] = {{kConfigurationDate, &PointParams::SetConfigurationDate},
                            {kAssemblyDate, &PointParams::SetAssemblyDate},
                            {kDeviceDateTime, &PointParams::SetDeviceDateTime}};
  for (const DateStep& step : dates) {
    std::uint8_t bytes[DateTime::Size];
    DateTime::NoInformation().ToBytes(bytes);
    try {
      ReadBounded(address, DataType::DateTime, step.id, bytes, sizeof bytes);
    } catch (const Exception&) {
      DateTime::NoInformation().ToBytes(bytes);
    }
    (params.*step.set)(DateTime(bytes));
  }

  std::uint8_t volume = 255;
  try {
    ReadBounded(address, DataType::Byte, kVolume, &volume, sizeof volume);
  } catch (const Exception&) {
    volume = 255;
  }
  params.SetVolumeLevel(volume);

  // Little-endian 16-bit value preset to 255: a one-byte answer gives that byte.
  std::uint8_t language[2] = {255, 0};
  try {
    ReadBounded(address, DataType::Byte, kLanguage, language, sizeof language);
  } catch (const Exception&) {
    language[0] = 255;
    language[1] = 0;
  }
  params.SetLanguage(static_cast<std::uint16_t>(language[0] | language[1] << 8));

  try {
    std::vector<std::uint16_t> languages;
    ReadLanguages(address, languages);
    params.SetLanguages(languages.data(), languages.size());
  } catch (const Exception&) {
    const std::uint16_t none = 255;
    params.SetLanguages(&none, 1);
  }

  try {
    params.SetNotReadyText(ReadText(address, kNotReadyText));
  } catch (const Exception&) {
    params.SetNotReadyText(wxString());
  }

  ReadUnit(address, params);
  params.SetVariable18Text(ReadText(address, kVariable18));

  std::uint8_t algorithm = 0;
  ReadBounded(address, DataType::Byte, kCurrentAlgorithm, &algorithm, sizeof algorithm);
  params.SetCurrentAlgorithm(algorithm);

  std::uint8_t code = 0;
  ReadBounded(address, DataType::Byte, kDeviceCode, &code, sizeof code);
  params.SetDeviceCode(code);

  try {
    params.SetFactoryNumber(ReadText(address, kFactoryNumber));
  } catch (const Exception&) {
    params.SetFactoryNumber(UnknownVariableText);
  }

  std::uint8_t count = 0;
  ReadBounded(address, DataType::Byte, kParamCount, &count, sizeof count);
  PointParam param;
  for (int i = 0; i < count; ++i) {
    ReadParamValue(address, i, param);
    ReadParamName(address, i, param);
    params.AddParam(param);
  }

  StatusFlagTable table;
  try {
    ReadTable(address, table);
  } catch (const Exception&) {
    table = StatusFlagTable(StatusFlagTable::BuiltIn);
  }
  params.SetStatusFlags(table);
}

void SerialPortLorimProtocol::ReadUnit(const Address& address, PointParams& params) {
  params.SetUnit(ReadText(address, kUnit));
}

// ---------------------------------------------------------------------------
// Algorithms

void SerialPortLorimProtocol::ReadAlgorithms(const Address& address, std::vector<Algorithm>& algorithms) {
  algorithms.clear();
  std::uint8_t count = 0;
  ReadBounded(address, DataType::Byte, kAlgorithmCount, &count, sizeof count);
  for (int a = 0; a < count; ++a) {
    Algorithm algorithm;
    ReadAlgorithm(address, a, algorithm);
    algorithms.push_back(algorithm);
  }
}

void SerialPortLorimProtocol::ReadAlgorithm(const Address& address, int a, Algorithm& algorithm) {
  const int base = kFirstAlgorithm + kAlgorithmStride * a;
  algorithm.name = ReadText(address, Id(base));
  algorithm.unit = ReadText(address, Id(base + 1));
  std::uint8_t value[4] = {};
  ReadBounded(address, DataType::Float, Id(base + 2), value, sizeof value);
  algorithm.floatValue = GetF32(value);
  std::uint8_t time[4] = {};
  ReadBounded(address, DataType::Long, Id(base + 3), time, sizeof time);
  algorithm.longValue = GetU32(time);
  std::uint8_t uncertainty = 0;
  ReadBounded(address, DataType::Byte, Id(base + 4), &uncertainty, sizeof uncertainty);
  algorithm.byteValue = uncertainty;
  algorithm.index = a;
}

// ---------------------------------------------------------------------------
// Dynamic parameters

void SerialPortLorimProtocol::ReadParamValue(const Address& address, int i, PointParam& param) {
  ExchangeRead(address, DataType::Byte, Id(kFirstParamValue + 2 * i));
  const std::uint32_t length = GetAnswerDataLength();
  const std::uint8_t* data = GetAnswerData();
  const DataType type = GetAnswerDataType();
  // Every value needs at least the id byte in front of it.
  const std::uint32_t have = length > 0 ? length - 1 : 0;
  auto need = [&](std::uint32_t bytes) {
    if (length == 0) PROTOCOL_FAIL(kDataCorrupted);
    if (have < bytes) PROTOCOL_FAIL(kUnsupportedFormat);
  };
  switch (type) {
    case DataType::Byte:
      need(1);
      param.SetType(static_cast<int>(DataType::ByteParam));
      param.SetValue(static_cast<unsigned char>(data[1]));
      break;
    case DataType::Text8: {
      need(0);
      wxString text;
      const std::uint32_t room = static_cast<std::uint32_t>(2 * TextRoom - 1);
      for (std::uint32_t k = 0; k < have && k < room && data[1 + k] != 0; ++k) text += static_cast<wchar_t>(data[1 + k]);
      param.SetType(static_cast<int>(DataType::Text8));
      param.SetValue(text);
      break;
    }
    case DataType::ShortFloat: {
      need(4);
      LSingle value;
      std::memcpy(value.bytes, data + 1, 4);
      param.SetType(static_cast<int>(DataType::ShortFloat));
      param.SetValue(value);
      break;
    }
    case DataType::Float:
      need(4);
      param.SetType(static_cast<int>(DataType::Float));
      param.SetValue(GetF32(data + 1));
      break;
    case DataType::Text16:
      need(0);
      param.SetType(static_cast<int>(DataType::Text16));
      param.SetValue(TextFromUtf16(data + 1, std::min<std::size_t>(have, 2 * TextRoom - 2)));
      break;
    case DataType::Address:
      need(3);
      param.SetType(static_cast<int>(DataType::Address));
      param.SetValue(Address(data[1], data[2], data[3]));
      break;
    default:
      PROTOCOL_FAIL(kUnsupportedFormat);
  }
  param.SetId(data[0]);
}

void SerialPortLorimProtocol::ReadParamName(const Address& address, int i, PointParam& param) {
  ExchangeRead(address, DataType::Text16, Id(kFirstParamName + 2 * i));
  if (GetAnswerDataType() != DataType::Text16) PROTOCOL_FAIL(kUnsupportedFormat);
  const std::uint32_t count = AnswerValueCount();
  param.SetName(TextFromUtf16(GetAnswerData() + 1, std::min<std::size_t>(count, 2 * TextRoom - 2)));
}

void SerialPortLorimProtocol::ReadChangedIds(const Address& address, std::uint8_t* buffer, std::size_t capacity,
                                             std::uint16_t& count) {
  count = 0;
  const std::uint32_t sent = ReadBounded(address, DataType::Byte, kChangedParams, buffer, capacity);
  count = static_cast<std::uint16_t>(std::min<std::size_t>(sent, capacity));
}

void SerialPortLorimProtocol::ReadChangedParams(const Address& address, const std::uint8_t* ids,
                                                std::uint16_t count, std::map<std::uint8_t, wxString>& values) {
  PointParam param;
  std::map<std::uint8_t, wxString> read;
  for (std::uint16_t k = 0; k < count; ++k) {
    // Below the first value id there is no parameter to read.
    if (ids[k] < kFirstParamValue) continue;
    const int i = (ids[k] - kFirstParamValue) / 2;
    ReadParamValue(address, i, param);
    read.emplace(static_cast<std::uint8_t>(i), param.ValueText(3));
  }
  values.swap(read);
}

void SerialPortLorimProtocol::WriteParams(const Address& address, const PointParams& params) {
  for (std::size_t k = 0; k < params.ParamCount(); ++k) {
    const PointParam& param = params.GetParam(k);
    const boost::any value = param.GetValue();
    switch (param.GetType()) {
      case static_cast<int>(DataType::Byte): {
        const std::uint8_t v = boost::any_cast<unsigned char>(value);
        WriteVariable(address, DataType::Byte, param.GetId(), &v);
        break;
      }
      case static_cast<int>(DataType::Float): {
        const float v = boost::any_cast<float>(value);
        WriteVariable(address, DataType::Float, param.GetId(), &v);
        break;
      }
      case static_cast<int>(DataType::Text16): {
        const std::vector<char16_t> units = Utf16FromText(boost::any_cast<wxString>(value));
        // Room for 16,383 characters and the terminator.
        if (units.size() > 16384) PROTOCOL_FAIL(kUnsupportedFormat);
        WriteVariable(address, DataType::Text16, param.GetId(), units.data());
        break;
      }
      case static_cast<int>(DataType::Address): {
        const Address v = boost::any_cast<Address>(value);
        WriteVariable(address, DataType::Address, param.GetId(), &v);
        break;
      }
      default:
        // Left out of the last error: that still tells how the last exchange went.
        PROTOCOL_FAIL_KEEPING_LAST_ERROR(Error::UnsupportedDataType);
    }
  }
}

// ---------------------------------------------------------------------------
// Status flag table

void SerialPortLorimProtocol::ReadTable(const Address& address, StatusFlagTable& table) {
  std::uint8_t count = 0;
  ReadBounded(address, DataType::Byte, kRowCount, &count, sizeof count);
  std::map<int, EventLogLine> rows;
  for (int k = 1; k <= count; ++k) {
    const std::uint8_t row = static_cast<std::uint8_t>(k - 1);
    WriteVariable(address, DataType::Byte, kRowSelect, &row);
    const wxString text = ReadText(address, kRowSelect);
    int level;
    try {
      std::uint8_t byte = 0;
      ReadBounded(address, DataType::Byte, kRowLevel, &byte, sizeof byte);
      level = byte;
    } catch (const Exception&) {
      level = StatusFlagTable::DefaultLevel(k);
    }
    rows[k] = EventLogLine(text, level);
  }
  table = StatusFlagTable(rows);
}

}  // namespace kalvo_lorim
