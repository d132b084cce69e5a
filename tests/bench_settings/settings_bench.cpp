// Time of each step of reading and writing the settings file, for files of
// many shapes up to the bounds of what is read: the program's own reading
// (coding, mending), the toolkit's reader, the reads of the program's keys,
// and the writing back at exit. Each figure is the median of the runs.
//   kalvo_bench_settings [runs] [part of the names of the files to time]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/fileconf.h>
#include <wx/init.h>
#include <wx/sstream.h>

#include "app/settingsfile.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Shape {
  std::string name;
  std::string bytes;
};

std::string Own() {
  return "[communication]\nserial_port=COM4\naddress=10.20.30\nwait_receiver_timeout=90\n"
         "[baudrate]\nbaud_rate=19200\n[i18n]\nLanguage=russian\n";
}

// `groups` groups of `keys` distinct entries each, after the program's own.
std::string Grouped(std::size_t groups, std::size_t keys) {
  std::string s = Own();
  for (std::size_t g = 0; g < groups; ++g) {
    s += "[other_" + std::to_string(g) + "]\n";
    for (std::size_t k = 0; k < keys; ++k) s += "key_" + std::to_string(k) + "=" + std::to_string(g * keys + k) + "\n";
  }
  return s;
}

std::string Utf16(const std::string& ascii) {
  std::string s = "\xFF\xFE";
  for (char c : ascii) {
    s += c;
    s += '\0';
  }
  return s;
}

std::vector<Shape> Shapes() {
  std::vector<Shape> shapes;
  {
    // The file of the fault: the program's groups and a large group of
    // another program, 275 KiB.
    std::string other = "[Other.Program]\n";
    for (int i = 0; other.size() < 275 * 1024; ++i) {
      other += "recent_file_" + std::to_string(i) + "=/home/operator/measurements/station 7/run " +
               std::to_string(i * 7) + ".dat\n";
    }
    shapes.push_back({"275 KiB, another program's group", Own() + other});
    shapes.push_back({"the same in UTF-16", Utf16(Own() + other)});
  }
  // The program's own groups count 8 entries and group headers.
  const std::size_t room = SettingsFile::MaxEntries - 8;
  for (std::size_t n : {std::size_t(1000), std::size_t(10000), std::size_t(25000), std::size_t(50000), room - 1}) {
    shapes.push_back({std::to_string(n) + " entries in one group", Grouped(1, n)});
  }
  {
    // Names in falling order: each entry goes to the front of the toolkit's
    // sorted list of a group's entries.
    std::string s = Own() + "[other]\n";
    char name[32];
    for (std::size_t k = room - 1; k-- > 0;) {
      std::snprintf(name, sizeof name, "key_%08zu=1\n", k);
      s += name;
    }
    shapes.push_back({std::to_string(room - 1) + " entries, names falling", s});
  }
  for (std::size_t n : {std::size_t(10000), std::size_t(25000), room / 2}) {
    shapes.push_back({std::to_string(n) + " groups of one entry", Grouped(n, 1)});
  }
  shapes.push_back({"1000 groups of 98 entries", Grouped(1000, 98)});
  {
    std::string s = Own();
    for (int i = 0; s.size() < 1024 * 1024; ++i) {
      s += "[communication]\nserial_port=COM" + std::to_string(i % 9 + 1) + "\n[other]\nkey_" + std::to_string(i) +
           "=1\n";
    }
    shapes.push_back({"1 MiB of groups opening again", s});
  }
  {
    std::string s = Own() + "[other]\n";
    const std::string value(64 * 1024, 'x');
    while (s.size() + value.size() + 16 < SettingsFile::MaxSize) s += "long_" + std::to_string(s.size()) + "=" + value + "\n";
    shapes.push_back({"long lines up to the size bound", s});
  }
  return shapes;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

}  // namespace

int main(int argc, char** argv) {
  wxInitializer init;
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kalvo_bench_settings_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "kalvo_checker.ini").string();

  std::printf("%-36s %9s %10s %10s %10s %10s  %s\n", "file", "KiB", "own ms", "toolkit ms", "keys ms",
              "write ms", "read");
  for (const Shape& shape : Shapes()) {
    if (argc > 2 && shape.name.find(argv[2]) == std::string::npos) continue;
    std::vector<double> own, toolkit, keys, write;
    bool read = false;
    for (int run = 0; run < runs; ++run) {
      std::ofstream(path, std::ios::binary | std::ios::trunc) << shape.bytes;
      Clock::time_point t = Clock::now();
      SettingsFile file(path);
      own.push_back(Ms(t));
      t = Clock::now();
      std::unique_ptr<wxFileConfig> config(file.MakeConfig());
      toolkit.push_back(Ms(t));
      t = Clock::now();
      wxString value;
      for (const char* key : {"/communication/serial_port", "/communication/address",
                              "/communication/use_own_advanced_timeout", "/communication/wait_receiver_timeout",
                              "/communication/work_in_system", "/communication/count_digit_dyn_params",
                              "/baudrate/baud_rate", "/inform_win_view_0-engineer_1-fractional/inf_win_view",
                              "/i18n/Language"}) {
        config->Read(key, &value);
      }
      config->Write("/communication/serial_port", "COM5");
      keys.push_back(Ms(t));
      read = file.ReadWhole() && config->Read("/communication/wait_receiver_timeout", &value) && value == "90";
      t = Clock::now();
      if (!file.Write(*config)) std::fprintf(stderr, "%s: not written\n", shape.name.c_str());
      write.push_back(Ms(t));
      for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().filename() != "kalvo_checker.ini") std::filesystem::remove(entry.path());
      }
    }
    std::printf("%-36s %9zu %10.1f %10.1f %10.1f %10.1f  %s\n", shape.name.c_str(), shape.bytes.size() / 1024,
                Median(own), Median(toolkit), Median(keys), Median(write), read ? "yes" : "no");
  }
  std::filesystem::remove_all(dir);

  // Past the bound: the toolkit's reader alone, given one group of entries
  // with falling names.
  std::printf("\n%-36s %9s %10s\n", "the toolkit's reader alone", "KiB", "ms");
  for (std::size_t n : {std::size_t(100000), std::size_t(200000), std::size_t(400000)}) {
    if (argc > 2 && std::string("past the bound").find(argv[2]) == std::string::npos) break;
    std::string text = "[other]\n";
    char name[32];
    for (std::size_t k = n; k-- > 0;) {
      std::snprintf(name, sizeof name, "key_%08zu=1\n", k);
      text += name;
    }
    std::vector<double> toolkit;
    for (int run = 0; run < runs; ++run) {
      wxStringInputStream in(text);
      const Clock::time_point t = Clock::now();
      wxFileConfig config(in, wxConvUTF8);
      toolkit.push_back(Ms(t));
    }
    std::printf("%-36s %9zu %10.1f\n", (std::to_string(n) + " entries, names falling").c_str(), text.size() / 1024,
                Median(toolkit));
  }
  return 0;
}
