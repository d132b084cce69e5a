// Runs simulated points on a pseudo-terminal linked into a port folder, so the
// checker (or anything else) can be tried without a device:
//   kalvo_pointsim --ports /tmp/kalvo-ports --port COM3 --address 1.2.3
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pointsim.h"

namespace {

void Usage(FILE* out) {
  std::fprintf(out,
               "usage: kalvo_pointsim [options]\n"
               "  --ports DIR        port folder (default $KALVO_PORTS, else /tmp/kalvo-ports)\n"
               "  --port NAME        name of the link in the folder (default COM1)\n"
               "  --address A.B.C    add a point (repeatable; default one point at 1.2.3)\n"
               "  --no-unaddressed   the last point ignores frames to 255.255.255\n"
               "  --status WORD      status word of the last point given, or of every point\n"
               "                     when given before any --address (decimal or 0x hex)\n"
               "  --algorithm NAME:UNIT:VALUE\n"
               "                     one more algorithm for the last point given, or for every\n"
               "                     point when given before any --address (repeatable)\n"
               "  --fault SPEC       fault of the last point given, or of every point when\n"
               "                     given before any --address (repeatable):\n"
               "                     KIND[,var=ID|identify][,times=N][,value=N], KIND one of\n"
               "                     noanswer error headersum datasum cutheader cutdata\n"
               "                     longlength delay extraidentify wrongtype\n"
               "                     nodata\n"
               "  --pace             send answers at the line's byte rate\n"
               "  --baud N|line      line rate for --pace (default 9600); \"line\" follows the\n"
               "                     rate, parity, data and stop bits the checker sets\n"
               "  --parity N|E|F|G|H parity for --pace (default N; F is odd)\n"
               "  --databits N       data bits for --pace (default 8)\n"
               "  --stopbits 0|1|2   stop-bits code for --pace (default 0: one)\n"
               "  --turnaround MS    pause before each answer (default 0)\n"
               "  --verbose          print every request and its answer\n");
}

bool ParseAddressText(const std::string& s, pointsim::Address& out) {
  unsigned a, b, c;
  char extra;
  if (std::sscanf(s.c_str(), "%u.%u.%u%c", &a, &b, &c, &extra) != 3 || a > 255 || b > 255 || c > 255)
    return false;
  out = pointsim::Address(std::uint8_t(a), std::uint8_t(b), std::uint8_t(c));
  return true;
}

bool ToInt(const char* s, int lo, int hi, int& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s, &end, 10);
  if (errno != 0 || *s == '\0' || *end != '\0' || v < lo || v > hi) return false;
  out = int(v);
  return true;
}

std::string Hex(const pointsim::Bytes& b) {
  std::string out;
  char buf[4];
  for (auto x : b) {
    std::snprintf(buf, sizeof buf, "%02X ", x);
    out += buf;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

const char* StatusName(pointsim::RequestStatus s) {
  switch (s) {
    case pointsim::RequestStatus::Ok: return "frame";
    case pointsim::RequestStatus::BadDataChecksum: return "bad data checksum";
    case pointsim::RequestStatus::Garbage: return "garbage";
    case pointsim::RequestStatus::Incomplete: return "incomplete";
  }
  return "?";
}

struct ExtraAlgorithm {
  std::string name, unit;
  float value = 0;
};

// "NAME:UNIT:VALUE"; the unit may be empty, the value is a C-locale number.
bool ParseAlgorithm(const std::string& s, ExtraAlgorithm& out) {
  const auto first = s.find(':');
  const auto second = first == std::string::npos ? first : s.find(':', first + 1);
  if (first == 0 || second == std::string::npos || s.find(':', second + 1) != std::string::npos)
    return false;
  const std::string number = s.substr(second + 1);
  char* end = nullptr;
  errno = 0;
  const float v = std::strtof(number.c_str(), &end);
  if (number.empty() || errno != 0 || *end != '\0') return false;
  out = ExtraAlgorithm{s.substr(0, first), s.substr(first + 1, second - first - 1), v};
  return true;
}

// What --status and --algorithm add to a point.
struct Extras {
  int status = -1;  // -1: the default status word
  std::vector<ExtraAlgorithm> algorithms;
};

struct PointSpec {
  pointsim::Address address;
  bool unaddressed = true;
  std::vector<pointsim::Fault> faults;
  Extras extras;
};

// Algorithms go after those the point has; the count (variable 22) says how many.
void ApplyExtras(pointsim::Point& p, const Extras& extras) {
  int next = 0;
  if (const auto count = p.GetVariable(22); count && !count->value.empty()) next = count->value[0];
  for (const auto& a : extras.algorithms) {
    if (next > 15) break;
    p.SetAlgorithm(next++, a.name, a.unit, a.value, 60, 2);
  }
  if (extras.status >= 0) p.SetStatusWord(std::uint16_t(extras.status));
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  if (const char* env = std::getenv("KALVO_PORTS")) folder = env;
  if (folder.empty()) folder = "/tmp/kalvo-ports";
  std::string port = "COM1";
  std::vector<PointSpec> points;
  std::vector<pointsim::Fault> common;
  Extras commonExtras;
  pointsim::LineSettings line;
  bool pace = false;
  bool verbose = false;
  int turnaround = 0;

  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "kalvo_pointsim: %s needs %s\n", opt.c_str(), what);
        std::exit(2);
      }
      return argv[++i];
    };
    auto bad = [&](const char* v) {
      std::fprintf(stderr, "kalvo_pointsim: bad value '%s' for %s\n", v, opt.c_str());
      std::exit(2);
    };
    int n = 0;
    if (opt == "--help" || opt == "-h") {
      Usage(stdout);
      return 0;
    } else if (opt == "--ports") {
      folder = value("a folder");
    } else if (opt == "--port") {
      port = value("a name");
      if (port.empty() || port.find('/') != std::string::npos) bad(port.c_str());
    } else if (opt == "--address") {
      const char* v = value("an address");
      PointSpec spec;
      if (!ParseAddressText(v, spec.address)) bad(v);
      points.push_back(spec);
    } else if (opt == "--no-unaddressed") {
      if (points.empty()) bad("(no --address before it)");
      points.back().unaddressed = false;
    } else if (opt == "--status") {
      const char* v = value("a status word");
      char* end = nullptr;
      errno = 0;
      const long word = std::strtol(v, &end, 0);
      if (errno != 0 || *v == '\0' || *end != '\0' || word < 0 || word > 0xFFFF) bad(v);
      (points.empty() ? commonExtras : points.back().extras).status = int(word);
    } else if (opt == "--algorithm") {
      const char* v = value("NAME:UNIT:VALUE");
      ExtraAlgorithm a;
      if (!ParseAlgorithm(v, a)) bad(v);
      (points.empty() ? commonExtras : points.back().extras).algorithms.push_back(a);
    } else if (opt == "--fault") {
      const char* v = value("a fault");
      pointsim::Fault f;
      std::string error;
      if (!pointsim::ParseFault(v, f, error)) {
        std::fprintf(stderr, "kalvo_pointsim: %s\n", error.c_str());
        return 2;
      }
      (points.empty() ? common : points.back().faults).push_back(f);
    } else if (opt == "--pace") {
      pace = true;
    } else if (opt == "--baud") {
      const char* v = value("a rate");
      if (std::string(v) == "line") {
        line.baud = pointsim::LineSettings::FromLine;
      } else if (!ToInt(v, 50, 4000000, line.baud)) {
        bad(v);
      }
    } else if (opt == "--parity") {
      const std::string v = value("a letter");
      if (v.size() != 1 || std::string("NEFGH").find(v[0]) == std::string::npos) bad(v.c_str());
      line.parity = v[0];
    } else if (opt == "--databits") {
      const char* v = value("a number");
      if (!ToInt(v, 5, 8, line.dataBits)) bad(v);
    } else if (opt == "--stopbits") {
      const char* v = value("a code");
      if (!ToInt(v, 0, 2, line.stopBits)) bad(v);
    } else if (opt == "--turnaround") {
      const char* v = value("milliseconds");
      if (!ToInt(v, 0, 60000, n)) bad(v);
      turnaround = n;
    } else if (opt == "--verbose" || opt == "-v") {
      verbose = true;
    } else {
      std::fprintf(stderr, "kalvo_pointsim: unknown option '%s'\n", opt.c_str());
      Usage(stderr);
      return 2;
    }
  }
  if (points.empty()) points.push_back(PointSpec{pointsim::Address(1, 2, 3), true, {}, {}});

  // Signals are taken by sigwait below; block them before the bus thread starts.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  try {
    pointsim::Bus bus;
    for (const auto& spec : points) {
      pointsim::Point& p = bus.AddPoint(spec.address);
      p.SetAnswersUnaddressed(spec.unaddressed);
      for (const auto& f : common) p.AddFault(f);
      for (const auto& f : spec.faults) p.AddFault(f);
      ApplyExtras(p, commonExtras);
      ApplyExtras(p, spec.extras);
    }
    bus.SetPacing(pace, line);
    bus.SetTurnaround(turnaround);
    if (verbose) {
      bus.SetObserver([](const pointsim::Request& r) {
        std::fprintf(stderr, "%10u %s", r.tick, StatusName(r.status));
        if (r.status == pointsim::RequestStatus::Ok || r.status == pointsim::RequestStatus::BadDataChecksum)
          std::fprintf(stderr, " to %u.%u.%u kind %u type %u id %d", r.frame.destination.a,
                       r.frame.destination.b, r.frame.destination.c, r.frame.kind, r.frame.type,
                       r.frame.Id());
        std::fprintf(stderr, "\n  in:  %s\n  out: %s\n", Hex(r.raw).c_str(), Hex(r.answer).c_str());
      });
    }

    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
      std::fprintf(stderr, "kalvo_pointsim: cannot make %s: %s\n", folder.c_str(), std::strerror(errno));
      return 1;
    }
    const std::string link = folder + "/" + port;
    unlink(link.c_str());
    if (symlink(bus.SlavePath().c_str(), link.c_str()) != 0) {
      std::fprintf(stderr, "kalvo_pointsim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
      return 1;
    }
    bus.Start();
    std::printf("kalvo_pointsim: %s -> %s; points:", link.c_str(), bus.SlavePath().c_str());
    for (const auto& spec : points)
      std::printf(" %u.%u.%u", spec.address.a, spec.address.b, spec.address.c);
    std::printf("\nSet KALVO_PORTS=%s for the checker; Ctrl-C ends.\n", folder.c_str());
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stop, &sig);
    bus.Stop();
    unlink(link.c_str());
    std::printf("kalvo_pointsim: %zu requests\n", bus.RequestCount());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kalvo_pointsim: %s\n", e.what());
    return 1;
  }
  return 0;
}
