// Time of a full parameter read of a simulated point whose answers go out at
// the line's byte rate, against the floor that the line and the fixed pauses
// set: the wire time of every byte both ways plus the pause before every port
// read.
//
//   kalvo_bench_read_params [repetitions]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <wx/init.h>

#include "kalvo_lorim/pointparam.h"
#include "kalvo_lorim/serialportlorimprotocol.h"
#include "pointsim.h"
#include "pty.h"

namespace {

using kalvo_lorim::Address;
using kalvo_lorim::SerialPortLorimProtocol;

const Address kPoint(1, 2, 3);
constexpr int kParams = 10;
constexpr int kRows = 11;

struct Result {
  double elapsedMs = 0;
  double floorMs = 0;
  double pauseMs = 0;
  std::size_t exchanges = 0;
  std::size_t bytes = 0;
};

void Populate(pointsim::Point& point) {
  for (int i = 0; i < kParams; ++i) {
    point.SetParam(i, "Parameter " + std::to_string(i), pointsim::type::Float, pointsim::F32(0.5f * i));
  }
  std::vector<pointsim::StatusRow> rows;
  for (int r = 0; r < kRows; ++r) rows.push_back({"Status flag " + std::to_string(r), std::uint8_t(r % 3)});
  point.SetStatusRows(rows);
}

bool RunOnce(int baud, Result& result) {
  pointsim::Bus bus;
  pointsim::Point& point = bus.AddPoint(kPoint);
  Populate(point);
  pointsim::LineSettings line;
  line.baud = baud;
  bus.SetPacing(true, line);
  testsupport::PortFolder ports;
  ports.Link("COM9", bus.SlavePath());
  bus.Start();

  SerialPortLorimProtocol protocol("COM9", false, baud, 'N', 8, 0);
  if (!protocol.IsOpen()) {
    std::fprintf(stderr, "the port did not open\n");
    return false;
  }
  kalvo_lorim::PointParams params;
  const auto start = std::chrono::steady_clock::now();
  try {
    protocol.ReadPointParams(kPoint, params);
  } catch (const kalvo_lorim::Exception& e) {
    std::fprintf(stderr, "read failed with code %d\n", e.GetCode());
    return false;
  }
  const auto end = std::chrono::steady_clock::now();

  const std::size_t expected = 17 + 2 * kParams + 3 * kRows;
  if (!bus.WaitForRequests(expected, 5000) || params.ParamCount() != std::size_t(kParams) ||
      params.GetStatusFlags().Count() != kRows) {
    std::fprintf(stderr, "the read was not complete\n");
    return false;
  }

  const double byteMs = line.BitsPerByte() * 1000.0 / baud;
  result = Result();
  result.elapsedMs = std::chrono::duration<double, std::milli>(end - start).count();
  for (const pointsim::Request& r : bus.Requests()) {
    const std::size_t bytes = r.raw.size() + r.answer.size();
    // One port read for the header, one more for a data block.
    const bool hasData = r.answer.size() > pointsim::HeaderSize;
    const int reads = hasData ? 2 : 1;
    result.bytes += bytes;
    result.floorMs += bytes * byteMs + reads * double(kalvo_lorim::SerialPort::ReadPause);
    result.pauseMs += reads * double(kalvo_lorim::SerialPort::ReadPause);
    ++result.exchanges;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  wxInitializer init;
  if (!init.IsOk()) return 1;
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

  std::printf("Full parameter read, %d dynamic parameters, %d status rows, paced answers\n", kParams, kRows);
  std::printf("%8s %10s %7s %12s %10s %7s %10s %7s\n", "baud", "exchanges", "bytes", "elapsed ms", "floor ms",
              "ratio", "pauses ms", "ratio");
  for (const int baud : {9600, 115200}) {
    std::vector<Result> runs;
    for (int k = 0; k < repetitions; ++k) {
      Result r;
      if (!RunOnce(baud, r)) return 1;
      runs.push_back(r);
    }
    // The median run.
    std::sort(runs.begin(), runs.end(), [](const Result& a, const Result& b) { return a.elapsedMs < b.elapsedMs; });
    const Result& m = runs[runs.size() / 2];
    std::printf("%8d %10zu %7zu %12.1f %10.1f %7.2f %10.1f %7.2f\n", baud, m.exchanges, m.bytes, m.elapsedMs,
                m.floorMs, m.elapsedMs / m.floorMs, m.pauseMs, m.elapsedMs / m.pauseMs);
  }
  std::printf("floor: wire time of every byte both ways plus the pause before every port read.\n"
              "An answer is on the wire while the reader still pauses, so the two overlap and\n"
              "the elapsed time can stay below that sum; the pauses alone are a hard bound.\n");
  return 0;
}
