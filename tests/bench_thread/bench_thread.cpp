// Polls one simulated point for a while through the whole cycle (plug,
// parameters, algorithms, then measures) and prints the process's CPU time
// over wall time, the device thread's own share, and the visits completed.

#include <time.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <wx/init.h>

#include "kalvo_lorim/command.h"
#include "kalvo_lorim/eventcmdtarget.h"
#include "kalvo_lorim/point.h"
#include "kalvo_lorim/pointscollection.h"
#include "kalvo_lorim/thread.h"
#include "pointsim.h"
#include "pty.h"

namespace {

double Seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Every visit of the cycle ends with one accepted event, so the events count
// the visits. Runs on the device thread, which also lets it read that
// thread's CPU clock.
class Counter : public kalvo_lorim::EventCmdTarget {
 public:
  void OnPointChanged(kalvo_lorim::Point* point) override {
    if (point->GetLastEvent().GetKind() != kalvo_lorim::EventKind::Unplugged) ++visits;
    deviceCpu = Seconds(CLOCK_THREAD_CPUTIME_ID);
  }
  std::atomic<long> visits{0};
  std::atomic<double> deviceCpu{0.0};
};

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
  if (seconds <= 0) {
    std::fprintf(stderr, "usage: bench_thread [seconds]\n");
    return 2;
  }
  wxInitializer wx;
  if (!wx.IsOk()) return 1;
  std::setlocale(LC_NUMERIC, "C");

  const kalvo_lorim::Address address(1, 2, 3);
  pointsim::Bus bus;
  bus.AddPoint(address);
  testsupport::PortFolder ports;
  ports.Link("COM1", bus.SlavePath());
  bus.Start();

  kalvo_lorim::PointsCollection points;
  points.Add(new kalvo_lorim::Point(address));
  CommandQueue commands;
  Counter counter;
  const kalvo_lorim::SerialPortLorimProtocol::Configurator config("COM1", 40, 6, 9600, 'N', 8, 0);

  const double wall0 = Seconds(CLOCK_MONOTONIC);
  const double cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
  auto* thread = new kalvo_lorim::Thread(config, &points, nullptr, &commands, &counter, false);
  if (!thread->Start()) {
    std::fprintf(stderr, "the device thread did not start\n");
    delete thread;
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const long visits = counter.visits.load();
  const double deviceCpu = counter.deviceCpu.load();
  const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
  const double wall = Seconds(CLOCK_MONOTONIC) - wall0;
  thread->Stop();
  bus.Stop();

  std::printf("wall time            %.2f s\n", wall);
  std::printf("process CPU / wall   %.2f %%  (device thread and simulated point)\n", 100.0 * cpu / wall);
  std::printf("device thread CPU    %.2f %%\n", 100.0 * deviceCpu / wall);
  std::printf("completed visits     %ld  (%.1f per second)\n", visits, visits / wall);
  return visits > 0 ? 0 : 1;
}
