// Writes seeds for the answer fuzzers: each operation of the fuzzer is run
// against the simulated point on a pseudo-terminal, and the point's answers
// are stored in the fuzzer's input format (header and data block, with the
// lengths and checksums left to the fuzzer to mend).
//   fuzz_answers_seeds <folder>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <wx/init.h>

#include "answer_operations.h"
#include "kalvo_lorim/error.h"
#include "kalvo_lorim/pointparam.h"
#include "kalvo_lorim/pointscollection.h"
#include "kalvo_lorim/serialportlorimprotocol.h"
#include "pointsim.h"
#include "pty.h"

using kalvo_lorim::Address;
using kalvo_lorim::SerialPortLorimProtocol;
using pointsim::Bytes;

namespace {

const Address kPoint(1, 2, 3);

using namespace answerline;

void AddChunk(Bytes& seed, std::uint8_t control, const Bytes& body) {
  seed.push_back(control);
  seed.push_back(static_cast<std::uint8_t>(body.size()));
  seed.push_back(static_cast<std::uint8_t>(body.size() >> 8));
  seed.insert(seed.end(), body.begin(), body.end());
}

// Every answer frame becomes header and data block, mended by the fuzzer
// (control 7); bytes that are no frame go as they are.
void AddAnswer(Bytes& seed, const Bytes& answer) {
  std::size_t at = 0;
  while (at < answer.size()) {
    pointsim::Frame frame;
    std::size_t used = 0;
    if (pointsim::Decode(answer.data() + at, answer.size() - at, frame, used) != pointsim::DecodeResult::Ok) {
      AddChunk(seed, 0, Bytes(answer.begin() + at, answer.end()));
      return;
    }
    const std::size_t body = used > pointsim::HeaderSize ? used - pointsim::ChecksumSize : used;
    AddChunk(seed, 7, Bytes(answer.begin() + at, answer.begin() + at + body));
    at += used;
  }
  if (answer.empty()) AddChunk(seed, 0, Bytes());
}

void Save(const std::string& folder, const std::string& name, const Bytes& seed) {
  std::ofstream out(folder + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
  std::printf("%-22s %5zu bytes\n", name.c_str(), seed.size());
}

using Setup = std::function<void(pointsim::Point&)>;
using Operation = std::function<void(SerialPortLorimProtocol&)>;

void Record(const std::string& folder, const std::string& name, std::uint8_t op, std::uint8_t arg,
            const Setup& setup, const Operation& run, int points = 1) {
  pointsim::Bus bus;
  pointsim::Point& point = bus.AddPoint(kPoint);
  for (int k = 1; k < points; ++k) bus.AddPoint(Address(1, 2, static_cast<std::uint8_t>(3 + k)));
  if (setup) setup(point);
  testsupport::PortFolder ports;
  ports.Link("COM9", bus.SlavePath());
  bus.Start();
  {
    SerialPortLorimProtocol protocol("COM9", false);
    try {
      run(protocol);
    } catch (const kalvo_lorim::Exception& e) {
      std::printf("%s: code %d\n", name.c_str(), e.GetCode());
    }
  }
  bus.Stop();
  Bytes seed{op, arg, 0};
  for (const pointsim::Request& r : bus.Requests()) AddAnswer(seed, r.answer);
  Save(folder, name, seed);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_answers_seeds <folder>\n");
    return 2;
  }
  wxInitializer wx;
  const std::string folder = argv[1];
  const Address p = kPoint;

  Record(folder, "identify", kReceiveAnswer, 0, nullptr, [&](SerialPortLorimProtocol& s) { s.Identify(p); });

  // The frames a point of address 1.2.3 is asked with, as answers.
  const Bytes frames[] = {
      {0x01, 0x02, 0x03, 0x01, 0x01, 0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x04, 0xA4, 0x11},
      {0x01, 0x02, 0x03, 0x01, 0x01, 0x01, 0x06, 0x05, 0x01, 0x00, 0xA0, 0x45, 0xA4, 0x11, 0x18, 0x18, 0x00, 0x00,
       0x00},
      {0x01, 0x02, 0x03, 0x01, 0x01, 0x01, 0x08, 0x01, 0x02, 0x00, 0x20, 0x86, 0xA5, 0x11, 0x0E, 0x05, 0x05, 0x0E,
       0x00, 0x00}};
  const char* frameNames[] = {"frame_identify", "frame_read", "frame_write"};
  for (int k = 0; k < 3; ++k) {
    Bytes seed{kReceiveAnswer, 0, 0};
    AddChunk(seed, 0, frames[k]);
    Save(folder, frameNames[k], seed);
  }

  // Variable 24 in each data type; the point answers with its own type.
  struct Typed {
    const char* name;
    std::uint8_t type;
    Bytes value;
  };
  const Typed typed[] = {{"read_byte", pointsim::type::Byte, {5, 6, 7}},
                         {"read_text8", pointsim::type::Text8, {'A', 'B', 'C'}},
                         {"read_word", pointsim::type::Word, pointsim::U16(0x0801)},
                         {"read_long", pointsim::type::Long, pointsim::U32(123456)},
                         {"read_shortfloat", pointsim::type::ShortFloat, {0xF4, 0x0D, 0, 0}},
                         {"read_float", pointsim::type::Float, pointsim::F32(21.5f)},
                         {"read_text", pointsim::type::Text, pointsim::Utf16("\xC2\xB0" "C \xF0\x9F\x98\x80")},
                         {"read_date", pointsim::type::Date, {12, 8, 3, 14, 5, 9, 0, 0}},
                         {"read_address", pointsim::type::Addr, {10, 20, 30}}};
  for (const Typed& t : typed) {
    Record(folder, t.name, kReadVariable, 0x87, [&](pointsim::Point& pt) { pt.SetVariable(24, t.type, t.value); },
           [&](SerialPortLorimProtocol& s) {
             std::uint8_t area[2048];
             s.ReadVariable(p, kalvo_lorim::DataType::Word, 24, area, sizeof area);
           });
  }
  Record(folder, "read_error", kReadVariable, 0x87,
         [](pointsim::Point& pt) { pt.AddFault(pointsim::Fault::ErrorAnswer(4, 24, 2)); },
         [&](SerialPortLorimProtocol& s) {
           std::uint8_t area[2048];
           s.ReadVariable(p, kalvo_lorim::DataType::Word, 24, area, sizeof area);
         });
  Record(folder, "any_type", kReadVariableAnyType, 0x87, nullptr, [&](SerialPortLorimProtocol& s) {
    kalvo_lorim::DataType type;
    std::uint32_t count = 0;
    std::uint8_t area[2048];
    s.ReadVariableAnyType(p, type, 9, count, area, sizeof area);
  });

  Record(folder, "point_params", kReadPointParams, 0, nullptr, [&](SerialPortLorimProtocol& s) {
    kalvo_lorim::PointParams params;
    s.ReadPointParams(p, params);
  });
  Record(folder, "point_params_faults", kReadPointParams, 0,
         [](pointsim::Point& pt) {
           pt.AddFault(pointsim::Fault::ErrorAnswer(4, 30, 6));
           pt.AddFault(pointsim::Fault::Make(pointsim::FaultKind::NoDataBlock, 0, 6, 1));
           pt.AddFault(pointsim::Fault::Make(pointsim::FaultKind::BadDataChecksum, 0, 27, 1));
         },
         [&](SerialPortLorimProtocol& s) {
           kalvo_lorim::PointParams params;
           s.ReadPointParams(p, params);
         });
  Record(folder, "table", kReadTable, 0, nullptr, [&](SerialPortLorimProtocol& s) {
    kalvo_lorim::StatusFlagTable table;
    s.ReadTable(p, table);
  });
  Record(folder, "algorithms", kReadAlgorithms, 0, nullptr, [&](SerialPortLorimProtocol& s) {
    std::vector<kalvo_lorim::Algorithm> list;
    s.ReadAlgorithms(p, list);
  });
  Record(folder, "changed", kReadChangedParams, 63, [](pointsim::Point& pt) { pt.ChangeParams({3, 4, 5}); },
         [&](SerialPortLorimProtocol& s) {
           std::uint8_t ids[64];
           std::uint16_t count = 0;
           s.ReadChangedIds(p, ids, sizeof ids, count);
           std::map<std::uint8_t, wxString> values;
           s.ReadChangedParams(p, ids, count, values);
         });
  Record(folder, "current_measure", kReadCurrentMeasure, 0, nullptr, [&](SerialPortLorimProtocol& s) {
    float v;
    std::uint32_t t;
    std::uint8_t u = 255;
    std::uint16_t st;
    s.ReadCurrentMeasure(p, v, t, u, st);
  });
  Record(folder, "measure", kReadMeasure, 2, nullptr, [&](SerialPortLorimProtocol& s) {
    float v;
    std::uint32_t t;
    std::uint8_t u = 255;
    s.ReadMeasure(p, 1, v, t, u);
  });
  Record(folder, "instant_value", kReadInstantValue, 0, nullptr, [&](SerialPortLorimProtocol& s) {
    float a, b;
    std::int32_t n;
    s.ReadInstantValue(p, a, b, n);
  });
  Record(folder, "record", kRecordToText, 0, nullptr, [&](SerialPortLorimProtocol& s) {
    wxString line;
    s.RecordToText(p, line);
  });
  for (int i = 0; i < 6; ++i) {
    Record(folder, "param_" + std::to_string(i), kReadParamValue, static_cast<std::uint8_t>(0x80 | i), nullptr,
           [&](SerialPortLorimProtocol& s) {
             kalvo_lorim::PointParam param;
             s.ReadParamValue(p, i, param);
             s.ReadParamName(p, i, param);
           });
  }
  Record(folder, "languages", kReadLanguages, 0, nullptr, [&](SerialPortLorimProtocol& s) {
    std::vector<std::uint16_t> list;
    s.ReadLanguages(p, list);
  });

  Record(folder, "not_ready_text", kSingleReads, 2, nullptr, [&](SerialPortLorimProtocol& s) {
    wxString text;
    s.ReadNotReadyText(p, text);
  });
  Record(folder, "device_date", kSingleReads, 5, nullptr, [&](SerialPortLorimProtocol& s) {
    kalvo_lorim::DateTime date;
    s.ReadDeviceDateTime(p, date);
  });
  Record(folder, "continue", kSingleReads, 12, nullptr, [&](SerialPortLorimProtocol& s) { s.ContinueMeasure(p); });

  // Two points answer the broadcast, over and over.
  Record(folder, "scan", kScanBus, 0, nullptr, [&](SerialPortLorimProtocol& s) {
    kalvo_lorim::PointsCollection collection;
    s.ScanBus(collection);
  }, 2);
  // An identify answer already on the line while listening.
  {
    Bytes seed{kWaitForAnswer, 0, 0};
    AddChunk(seed, 7, {0x01, 0x01, 0x01, 0x01, 0x02, 0x03, 0x04, 0x00, 0, 0, 0, 0, 0, 0});
    Save(folder, "wait", seed);
  }

  // An answer that announces more than the receive area holds: the fuzzer
  // repeats the data block up to the announced 40000 bytes.
  {
    Bytes seed{kReadVariable, 0x87, 0};
    AddChunk(seed, 0x0F, {0x01, 0x01, 0x01, 0x01, 0x02, 0x03, 0x06, 0x01, 0x40, 0x9C, 0, 0, 0, 0, 0x18, 0x41});
    Save(folder, "oversize", seed);
  }
  return 0;
}
