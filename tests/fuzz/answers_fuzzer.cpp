// What a point answers, fed to the bus protocol's reads: the input picks one
// operation and gives the answers the line hands out, one per request.
//
// Input: [operation] [argument] [flags] then answers, each
//   [control] [length, 16-bit little-endian] [length bytes]
// With control bits 0..3 clear the bytes go on the line as they are.
// Otherwise the bytes are a 14-byte header and a data block, and the control
// bits mend the frame so that most answers pass the checks and the parsers
// behind them are reached:
//   bit 0  header length field = data block size
//   bit 1  header checksum
//   bit 2  data checksum after the data block
//   bit 3  the data block repeated up to the length the header announces
//
// Besides surviving, the library must only accept answers that are sound,
// only send well-formed requests, report failures as its own exceptions, and
// give texts that hold characters only.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include <boost/any.hpp>

#include "answer_line.h"
#include "fuzz_support.h"
#include "answer_operations.h"
#include "kalvo_lorim/error.h"
#include "kalvo_lorim/pointparam.h"
#include "kalvo_lorim/pointscollection.h"
#include "kalvo_lorim/serialportlorimprotocol.h"
#include "kalvo_lorim/types.h"
#include "kalvo_lorim/unicode.h"

using answerline::Bytes;
using fuzzsupport::Fail;
using kalvo_lorim::Address;
using kalvo_lorim::DataType;
using kalvo_lorim::SerialPortLorimProtocol;

namespace {

const Address kPoint(1, 2, 3);
constexpr std::size_t kHeader = 14;

// Our own checksum, so that a fault in the library's cannot hide itself.
std::uint32_t Sum(const std::uint8_t* b, std::size_t n) {
  std::uint32_t h = 0;
  std::size_t i = 0;
  if (n % 2 == 1) {
    h = b[0];
    i = 1;
  }
  for (; i < n; i += 2) h = ((h << 5) | (h >> 27)) ^ (static_cast<std::uint32_t>(b[i]) << 8 | b[i + 1]);
  return h;
}

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void Put32(Bytes& out, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

Bytes BuildAnswer(std::uint8_t control, const std::uint8_t* body, std::size_t size, std::size_t room) {
  if ((control & 0x0F) == 0) return Bytes(body, body + std::min(size, room));
  std::uint8_t header[kHeader] = {};
  std::memcpy(header, body, std::min(size, kHeader));
  Bytes data;
  if (size > kHeader) data.assign(body + kHeader, body + size);
  if (control & 8) {
    const std::size_t announced = std::min<std::size_t>(header[8] | header[9] << 8, room);
    const std::size_t given = data.size();
    if (given == 0) data.push_back(0);
    while (data.size() < announced) data.push_back(data[(data.size() - std::max<std::size_t>(given, 1))]);
  }
  if (data.size() > 0xFFFF) data.resize(0xFFFF);
  if (control & 1) {
    header[8] = static_cast<std::uint8_t>(data.size());
    header[9] = static_cast<std::uint8_t>(data.size() >> 8);
  }
  if (control & 2) {
    const std::uint32_t h = Sum(header, 10);
    for (int k = 0; k < 4; ++k) header[10 + k] = static_cast<std::uint8_t>(h >> (8 * k));
  }
  Bytes frame(header, header + kHeader);
  frame.insert(frame.end(), data.begin(), data.end());
  if ((control & 4) && !data.empty()) Put32(frame, Sum(data.data(), data.size()));
  if (frame.size() > room) frame.resize(room);
  return frame;
}

std::vector<Bytes> ParseAnswers(const std::uint8_t* p, std::size_t n) {
  std::vector<Bytes> answers;
  while (n >= 3 && answers.size() < answerline::MaxAnswers()) {
    const std::uint8_t control = p[0];
    const std::size_t length = std::min<std::size_t>(p[1] | p[2] << 8, n - 3);
    answers.push_back(BuildAnswer(control, p + 3, length, answerline::MaxAnswerSize()));
    p += 3 + length;
    n -= 3 + length;
  }
  return answers;
}

// ---------------------------------------------------------------------------
// Properties

void CheckText(const wxString& text, std::size_t most, const char* what) {
  if (text.length() > most) Fail(what, wxString::Format("%zu characters", text.length()));
  for (wxString::const_iterator it = text.begin(); it != text.end(); ++it) {
    const std::uint32_t c = static_cast<std::uint32_t>((*it).GetValue());
    if (c == 0 || !kalvo_lorim::IsCharacter(c)) Fail(what, wxString::Format("character %#x", c));
  }
}

const std::size_t kTextMost = SerialPortLorimProtocol::TextRoom - 1;

void CheckAccepted(const SerialPortLorimProtocol& protocol) {
  const std::uint8_t* h = protocol.GetAnswerHeader();
  if (Sum(h, 10) != U32(h + 10)) Fail("accepted answer has a sound header", "");
  const std::uint32_t length = h[8] | h[9] << 8;
  const std::uint32_t received = protocol.GetReceivedLength();
  if (received != (length ? length + 4 : 0)) {
    Fail("received length of an accepted answer", wxString::Format("%u for %u", received, length));
  }
  if (received > SerialPortLorimProtocol::ReceiveAreaSize) Fail("accepted answer fits its area", "");
  const std::uint8_t* d = protocol.GetAnswerData();
  if (received && Sum(d, length) != U32(d + length)) Fail("accepted answer has a sound data block", "");
  if (h[6] == static_cast<std::uint8_t>(kalvo_lorim::PacketKind::ErrorAnswer) && (length < 2 || d[1] != 0)) {
    Fail("error answer accepted", wxString::Format("length %u", length));
  }
}

void CheckRequests(const std::vector<Bytes>& requests, const Bytes& rest, const Address& destination) {
  if (!rest.empty()) Fail("requests are whole frames", wxString::Format("%zu bytes left", rest.size()));
  for (const Bytes& r : requests) {
    const std::uint8_t* h = r.data();
    if (Sum(h, 10) != U32(h + 10)) Fail("request header checksum", "");
    if (Address(h[0], h[1], h[2]) != destination || Address(h[3], h[4], h[5]) != kalvo_lorim::OwnAddress()) {
      Fail("request addresses", "");
    }
    const std::uint32_t length = h[8] | h[9] << 8;
    switch (h[6]) {
      case static_cast<std::uint8_t>(kalvo_lorim::PacketKind::Identify):
        if (length != 0 || h[7] != 0) Fail("identify request", "");
        break;
      case static_cast<std::uint8_t>(kalvo_lorim::PacketKind::Read):
        if (length != 1) Fail("read request", "");
        break;
      case static_cast<std::uint8_t>(kalvo_lorim::PacketKind::Write):
        if (length < 2) Fail("write request", "");
        break;
      default:
        Fail("request kind", wxString::Format("%d", h[6]));
    }
    if (length && Sum(h + kHeader, length) != U32(h + kHeader + length)) Fail("request data checksum", "");
  }
}

void CheckTable(const kalvo_lorim::StatusFlagTable& table) {
  if (table.Count() < 0 || table.Count() > kalvo_lorim::StatusFlagTable::MaxCount()) {
    Fail("status flag table size", wxString::Format("%d", table.Count()));
  }
}

void CheckParam(const kalvo_lorim::PointParam& param) {
  CheckText(param.GetName(), kTextMost, "parameter name");
  const boost::any value = param.GetValue();
  switch (param.GetType()) {
    case 17: boost::any_cast<unsigned char>(value); break;
    case 3: CheckText(boost::any_cast<wxString>(value), 2 * SerialPortLorimProtocol::TextRoom - 1, "8-bit text"); break;
    case 13: boost::any_cast<kalvo_lorim::LSingle>(value); break;
    case 25: boost::any_cast<float>(value); break;
    case 29: CheckText(boost::any_cast<wxString>(value), kTextMost, "parameter text"); break;
    case 33: boost::any_cast<Address>(value); break;
    default: Fail("parameter type code", wxString::Format("%d", param.GetType()));
  }
  try {
    CheckText(param.ValueText(3), 4096, "value text");
  } catch (const kalvo_lorim::Exception& e) {
    // Byte, 8-bit text and short float values have no text form.
    if (e.GetCode() != 2 || !(param.GetType() == 17 || param.GetType() == 3 || param.GetType() == 13)) {
      Fail("value text of a parameter", wxString::Format("type %d code %d", param.GetType(), e.GetCode()));
    }
  }
}

void CheckParams(const kalvo_lorim::PointParams& params) {
  CheckText(params.GetDeviceName(), kTextMost, "device name");
  CheckText(params.GetFirmwareVersion(), kTextMost, "firmware version");
  CheckText(params.GetUnit(), kTextMost, "unit");
  CheckText(params.GetVariable18Text(), kTextMost, "variable 18 text");
  CheckText(params.GetNotReadyText(), kTextMost, "not-ready text");
  CheckText(params.GetFactoryNumber(), kTextMost, "factory number");
  if (params.GetLanguages().size() > SerialPortLorimProtocol::LanguageRoom) Fail("language list size", "");
  if (params.ParamCount() > 255) Fail("parameter count", "");
  for (std::size_t k = 0; k < params.ParamCount(); ++k) CheckParam(params.GetParam(k));
  CheckTable(params.GetStatusFlags());
}

bool IsLibraryCode(int code) { return (code >= 1 && code <= 255) || (code >= 0xF00 && code <= 0xF06); }

// ---------------------------------------------------------------------------
// Operations

using namespace answerline;

const DataType kAskedTypes[] = {DataType::Byte,  DataType::Text8,  DataType::Word,     DataType::Long,
                                DataType::ShortFloat, DataType::Float, DataType::Text16, DataType::DateTime,
                                DataType::Address, DataType::None};

// Destinations are heap blocks of exactly the size the library is told, so
// that a copy past them is caught.
std::size_t DestinationSize(std::uint8_t arg) {
  static const std::size_t sizes[] = {0, 1, 2, 4, 8, 12, 76, 2048};
  return (arg & 0x80) ? sizes[arg & 7] : (arg & 0x3F);
}

void Run(SerialPortLorimProtocol& protocol, int operation, std::uint8_t arg) {
  switch (operation) {
    case kReceiveAnswer: {
      std::uint8_t header[kHeader] = {kPoint.a, kPoint.b, kPoint.c, 1, 1, 1,
                                      static_cast<std::uint8_t>(kalvo_lorim::PacketKind::Identify)};
      const std::uint32_t h = Sum(header, 10);
      for (int k = 0; k < 4; ++k) header[10 + k] = static_cast<std::uint8_t>(h >> (8 * k));
      protocol.SendFrame(header, nullptr, 0);
      protocol.ReceiveAnswer();
      CheckAccepted(protocol);
      break;
    }
    case kReadVariable: {
      const DataType type = kAskedTypes[(arg >> 4) % (sizeof kAskedTypes / sizeof kAskedTypes[0])];
      const std::size_t size = DestinationSize(arg & 0x8F);
      std::unique_ptr<std::uint8_t[]> destination(new std::uint8_t[std::max<std::size_t>(size, 1)]);
      protocol.ReadVariable(kPoint, type, 24, destination.get(), size);
      CheckAccepted(protocol);
      switch (protocol.GetAnswerDataType()) {
        case DataType::Byte: case DataType::Text8: case DataType::Word: case DataType::Long:
        case DataType::ShortFloat: case DataType::Float: case DataType::Text16: case DataType::DateTime: break;
        default: Fail("read copies only the value types", wxString::Format("%d", protocol.GetAnswerHeader()[7]));
      }
      break;
    }
    case kReadVariableAnyType: {
      const std::size_t size = DestinationSize(arg);
      std::unique_ptr<std::uint8_t[]> destination(new std::uint8_t[std::max<std::size_t>(size, 1)]);
      DataType type = DataType::None;
      std::uint32_t count = 0;
      protocol.ReadVariableAnyType(kPoint, type, 9, count, destination.get(), size);
      CheckAccepted(protocol);
      if (type != protocol.GetAnswerDataType()) Fail("answered type reported", "");
      if (count > size) Fail("copied count within the destination", wxString::Format("%u > %zu", count, size));
      break;
    }
    case kReadPointParams: {
      kalvo_lorim::PointParams params;
      try {
        protocol.ReadPointParams(kPoint, params);
      } catch (const kalvo_lorim::Exception&) {
        CheckParams(params);
        throw;
      }
      CheckParams(params);
      break;
    }
    case kReadTable: {
      kalvo_lorim::StatusFlagTable table(kalvo_lorim::StatusFlagTable::BuiltIn);
      const int before = table.Count();
      try {
        protocol.ReadTable(kPoint, table);
      } catch (const kalvo_lorim::Exception&) {
        if (table.Count() != before) Fail("failed table read leaves the table", "");
        throw;
      }
      CheckTable(table);
      for (int code = 0; code <= 17; ++code) CheckText(table.Text(code), 4096, "status flag text");
      break;
    }
    case kReadAlgorithms: {
      std::vector<kalvo_lorim::Algorithm> algorithms(1);
      try {
        protocol.ReadAlgorithms(kPoint, algorithms);
      } catch (const kalvo_lorim::Exception&) {
        if (algorithms.size() > 255) Fail("algorithm count", "");
        throw;
      }
      if (algorithms.size() > 255) Fail("algorithm count", "");
      for (std::size_t k = 0; k < algorithms.size(); ++k) {
        if (algorithms[k].index != static_cast<int>(k)) Fail("algorithm index", "");
        CheckText(algorithms[k].name, kTextMost, "measurand name");
        CheckText(algorithms[k].unit, kTextMost, "algorithm unit");
      }
      break;
    }
    case kReadChangedParams: {
      const std::size_t capacity = 1 + (arg & 0x3F);
      std::unique_ptr<std::uint8_t[]> ids(new std::uint8_t[capacity]);
      std::uint16_t count = 0;
      protocol.ReadChangedIds(kPoint, ids.get(), capacity, count);
      if (count > capacity) Fail("changed ids within the buffer", "");
      std::map<std::uint8_t, wxString> values{{200, wxS("kept")}};
      try {
        protocol.ReadChangedParams(kPoint, ids.get(), count, values);
      } catch (const kalvo_lorim::Exception&) {
        if (values.size() != 1 || values.count(200) != 1) Fail("failed changed read leaves the map", "");
        throw;
      }
      for (const auto& entry : values) {
        if (entry.first > 71) Fail("changed parameter index", wxString::Format("%d", entry.first));
        CheckText(entry.second, 4096, "changed value text");
      }
      break;
    }
    case kReadCurrentMeasure: {
      float value = 0;
      std::uint32_t time = 0;
      std::uint8_t uncertainty = 255;
      std::uint16_t status = 0;
      protocol.ReadCurrentMeasure(kPoint, value, time, uncertainty, status);
      break;
    }
    case kReadMeasure: {
      float value = 0;
      std::uint32_t time = 0;
      std::uint8_t uncertainty = 255;
      const int a = static_cast<int>(arg % 17) - 1;
      if (a < 0 && (arg & 0x80)) {
        protocol.ReadCurrentAlgorithmMeasure(kPoint, value, time, uncertainty);
      } else {
        protocol.ReadMeasure(kPoint, a, value, time, uncertainty);
      }
      break;
    }
    case kReadInstantValue: {
      float first = 0, second = 0;
      std::int32_t integer = 0;
      protocol.ReadInstantValue(kPoint, first, second, integer);
      break;
    }
    case kRecordToText: {
      wxString line;
      protocol.RecordToText(kPoint, line);
      CheckText(line, 4096, "record line");
      break;
    }
    case kReadParamValue: {
      kalvo_lorim::PointParam param;
      const int i = arg % 72;
      protocol.ReadParamValue(kPoint, i, param);
      if (arg & 0x80) protocol.ReadParamName(kPoint, i, param);
      CheckParam(param);
      break;
    }
    case kReadLanguages: {
      std::vector<std::uint16_t> languages(3, 7);
      protocol.ReadLanguages(kPoint, languages);
      if (languages.size() > SerialPortLorimProtocol::LanguageRoom) Fail("language list size", "");
      break;
    }
    case kWaitForAnswer: {
      Address answering = kalvo_lorim::NoAddress();
      if (protocol.WaitForAnswer(answering)) CheckAccepted(protocol);
      break;
    }
    case kScanBus: {
      kalvo_lorim::PointsCollection collection;
      protocol.ScanBus(collection);
      break;
    }
    case kSingleReads: {
      // The single settings and the measure control, which read before they write.
      std::uint16_t word = 0;
      std::uint32_t number = 0;
      std::uint8_t byte = 0;
      kalvo_lorim::DateTime date;
      wxString text;
      switch (arg % 14) {
        case 0: protocol.ReadStatusWord(kPoint, word); break;
        case 1: protocol.ReadNotReadyNumber(kPoint, number); break;
        case 2: protocol.ReadNotReadyText(kPoint, text); break;
        case 3: protocol.ReadConfigurationDate(kPoint, date); break;
        case 4: protocol.ReadAssemblyDate(kPoint, date); break;
        case 5: protocol.ReadDeviceDateTime(kPoint, date); break;
        case 6: protocol.ReadVolumeLevel(kPoint, byte); break;
        case 7: protocol.ReadDeviceLanguage(kPoint, byte); break;
        case 8: protocol.ReadFirmwareVersion(kPoint, text); break;
        case 9: protocol.ReadFactoryNumber(kPoint, text); break;
        case 10: protocol.ReadVariable252Text(kPoint, text); break;
        case 11: protocol.ReadRecordsCount(kPoint, word); break;
        case 12: protocol.ContinueMeasure(kPoint); break;
        case 13: protocol.CompleteSeries(kPoint); break;
      }
      CheckText(text, kTextMost, "text setting");
      break;
    }
  }
}

std::string port;

}  // namespace

namespace answerline {

std::size_t TakeFrames(Bytes& pending, std::vector<Bytes>& frames) {
  std::size_t moved = 0;
  std::size_t at = 0;
  while (pending.size() - at >= kHeader) {
    const std::size_t length = pending[at + 8] | pending[at + 9] << 8;
    const std::size_t size = kHeader + (length ? length + 4 : 0);
    if (pending.size() - at < size) break;
    frames.emplace_back(pending.begin() + at, pending.begin() + at + size);
    at += size;
    ++moved;
  }
  pending.erase(pending.begin(), pending.begin() + at);
  return moved;
}

}  // namespace answerline

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::Setup();
  port = answerline::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const int operation = data[0] % kOperations;
  const std::uint8_t arg = data[1];
  const std::uint8_t flags = data[2];
  const std::vector<Bytes> answers = ParseAnswers(data + 3, size - 3);

  SerialPortLorimProtocol protocol(port.c_str(), (flags & 1) != 0);
  if (!protocol.IsOpen()) Fail("the port opens", wxString(port));
  // Start the clock anywhere, also just before it wraps.
  // Listening takes what is on the line; there is no request to answer.
  const std::size_t early = operation == kWaitForAnswer ? answers.size() : 0;
  answerline::Begin(answers, early, protocol, 0u - static_cast<std::uint32_t>(flags >> 1) * 977u);
  try {
    Run(protocol, operation, arg);
  } catch (const kalvo_lorim::Exception& e) {
    if (!IsLibraryCode(e.GetCode())) Fail("exception code", wxString::Format("%d", e.GetCode()));
    if (operation <= kReadVariableAnyType && protocol.GetLastError() != e.GetCode()) {
      Fail("last error is the thrown code", wxString::Format("%d, thrown %d", protocol.GetLastError(), e.GetCode()));
    }
  } catch (const std::exception& e) {
    Fail("only the library's own exceptions", wxString(e.what()));
  }
  std::vector<Bytes> requests;
  Bytes rest;
  answerline::End(requests, rest);
  CheckRequests(requests, rest, operation == kScanBus ? kalvo_lorim::BroadcastAddress() : kPoint);
  return 0;
}
