// Arbitrary argument lists for the work-in-system command line
// "login password COMn address timeout".
//
// Input: the arguments after the program name, separated by NUL when the
// input holds one (an argument may then hold a line break), else by '\n'; at
// most 8, one separator at the end is ignored. An argument that is valid
// UTF-8 is taken as such, any other one byte for byte, as a single-byte
// locale hands it over.
//
// Properties: an accepted line has five arguments, keeps login, password and
// port as given, names a port COM1..COM256, an address that is neither the
// broadcast, the own nor the no-point address, and a time-out text that is
// a whole number; a refused line leaves what an earlier line kept.

#include <climits>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cwctype>
#include <string>
#include <vector>

#include "app/app.h"
#include "app_fuzz.h"

using fuzzsupport::Fail;
using kalvo_lorim::Address;

namespace {

constexpr std::size_t kMaxArguments = 8;

struct Kept {
  wxString login, password, port;
  Address address;
  long timeout = 0;

  static Kept Of(const App& app) {
    return {app.GetCmdLogin(), app.GetCmdPassword(), app.GetCmdPort(), app.GetCmdAddress(),
            app.GetCmdTimeout()};
  }
  bool operator==(const Kept& o) const {
    return login == o.login && password == o.password && port == o.port && address == o.address &&
           timeout == o.timeout;
  }
};

std::vector<wxString> Arguments(const std::uint8_t* bytes, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(bytes), size);
  const char separator = input.find('\0') != std::string::npos ? '\0' : '\n';
  std::vector<wxString> args;
  if (input.empty()) return args;
  std::size_t from = 0;
  while (args.size() < kMaxArguments) {
    std::size_t to = input.find(separator, from);
    if (args.size() + 1 == kMaxArguments || to == std::string::npos) to = input.size();
    const std::string piece = input.substr(from, to - from);
    args.push_back(fuzzsupport::TextOf(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()));
    if (to + 1 >= input.size()) break;  // the end, or one separator at the end
    from = to + 1;
  }
  return args;
}

// Optional blanks, an optional sign and decimal digits from `i`; the value
// saturates. `end` is where the digits stop.
bool LeadingNumber(const std::wstring& s, std::size_t i, bool blanksAnyKind, long long& value,
                   std::size_t& end) {
  auto blank = [&](wchar_t c) {
    return blanksAnyKind ? std::iswspace(static_cast<wint_t>(c)) != 0
                         : c == L' ' || (c >= L'\t' && c <= L'\r');
  };
  while (i < s.size() && blank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
  const std::size_t digits = i;
  long long v = 0;
  for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i) {
    if (v < (1LL << 62)) v = v * 10 + (s[i] - L'0');
  }
  end = i;
  value = negative ? -v : v;
  return i > digits;
}

void CheckAccepted(const App& app, const std::vector<wxString>& args) {
  const Kept kept = Kept::Of(app);
  if (args.size() != 5) Fail("accepted a line of other than five arguments", wxString::Format("%zu", args.size()));
  if (kept.login != args[0] || kept.password != args[1] || kept.port != args[2]) {
    Fail("login, password or port not kept as given", args[0] + " " + args[1] + " " + args[2]);
  }

  // The port: the code reads the number after "COM" with the current
  // locale's blanks in front and lets text after it pass.
  const std::wstring port = args[2].ToStdWstring();
  long long number = 0;
  std::size_t end = 0;
  if (port.compare(0, 3, L"COM") != 0 || !LeadingNumber(port, 3, true, number, end) || number < 1 ||
      number > 256) {
    Fail("accepted a port outside COM1..COM256", args[2]);
  }

  Address parsed;
  if (!kalvo_lorim::ParseAddress(args[3], parsed) || parsed != kept.address) {
    Fail("kept address is not the one given", args[3] + " -> " + kept.address.Text());
  }
  if (kept.address == kalvo_lorim::BroadcastAddress() || kept.address == kalvo_lorim::OwnAddress() ||
      kept.address == kalvo_lorim::NoAddress()) {
    Fail("accepted an address no point has", args[3]);
  }

  // The time-out: blanks of the C locale, then a whole number and nothing else.
  const std::wstring timeout = args[4].ToStdWstring();
  long long value = 0;
  if (!LeadingNumber(timeout, 0, false, value, end) || end != timeout.size() || value < LONG_MIN ||
      value > LONG_MAX || value != kept.timeout) {
    Fail("accepted a time-out that is no whole number", args[4] + wxString::Format(" -> %ld", kept.timeout));
  }
}

App* TheApp() {
  static App* app = new App;  // lives until the process ends; never writes its settings file
  return app;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  appfuzz::Setup(argc, argv);
  // The desktop's locale, as the toolkit sets it at start; blanks and
  // conversions of wide characters follow it.
  std::setlocale(LC_CTYPE, "C.UTF-8");
  TheApp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::vector<wxString> args = Arguments(bytes, size);
  std::vector<std::wstring> texts = {L"kalvo_checker"};
  for (const wxString& a : args) texts.push_back(a.ToStdWstring());
  std::vector<wchar_t*> argv;
  for (std::wstring& t : texts) argv.push_back(t.data());
  argv.push_back(nullptr);

  App& app = *TheApp();
  app.argc = static_cast<int>(texts.size());
  app.argv.Init(app.argc, argv.data());
  const Kept before = Kept::Of(app);
  if (app.ParseCommandLine()) {
    CheckAccepted(app, args);
  } else if (!(Kept::Of(app) == before)) {
    Fail("a refused line changed what was kept", app.GetCmdLogin() + " " + app.GetCmdPort());
  }
  return 0;
}
