// The application's settings: their exchange with the settings file, the
// port configuration and the work-in-system command line.
#include <cerrno>
#include <climits>
#include <cwchar>
#include <string>

#include "app/app.h"
#include "app/appsettings.h"

namespace {

// A whole number as the settings file stores it: blanks around it allowed,
// nothing else.
bool ReadWholeNumber(const wxString& text, long& value) {
  wxString t = text;
  t.Trim(true).Trim(false);
  return !t.empty() && t.ToCLong(&value);
}

}  // namespace

bool gwxApp::ExchangeString(const wxString& group, const wxString& key, wxString& field,
                            const wxString& defaultValue) {
  const wxString path = group + "/" + key;
  if (!loading) return config->Write(path, field);
  wxString text;
  const bool found = config->Read(path, &text) && !text.empty();
  field = found ? text : defaultValue;
  return found;
}

bool gwxApp::ExchangeBool(const wxString& group, const wxString& key, bool& field,
                          bool defaultValue) {
  const wxString path = group + "/" + key;
  if (!loading) return config->Write(path, field);
  wxString text;
  long value = 0;
  const bool found = config->Read(path, &text) && ReadWholeNumber(text, value);
  field = found ? value != 0 : defaultValue;
  return found;
}

bool gwxApp::ExchangeLong(const wxString& group, const wxString& key, long& field,
                          long defaultValue) {
  const wxString path = group + "/" + key;
  if (!loading) return config->Write(path, field);
  wxString text;
  long value = 0;
  const bool found = config->Read(path, &text) && ReadWholeNumber(text, value);
  field = found ? value : defaultValue;
  return found;
}

bool App::LoadSave(bool load) {
  loading = load;
  const wxString communication = "/communication";

  ExchangeString(communication, "serial_port", AppSettings.serialPort, "COM1");
  if (AppSettings.serialPort.empty()) AppSettings.serialPort = "COM1";
  ExchangeString("/baudrate", "baud_rate", AppSettings.baudRate, "9600");
  if (AppSettings.baudRate.empty()) AppSettings.baudRate = "9600";

  wxString address = AppSettings.address.Text();
  ExchangeString(communication, "address", address, "255.255.255");
  if (address.empty()) address = "255.255.255";
  // An address that does not read serves the point reached directly, not
  // 0.0.0, which nothing accepts for a point.
  if (!kalvo_lorim::ParseAddress(address, AppSettings.address)) {
    AppSettings.address = kalvo_lorim::NoAddress();
  }

  ExchangeBool(communication, "use_own_advanced_timeout", AppSettings.useOwnAdvancedTimeout, false);
  ExchangeLong(communication, "wait_receiver_timeout", AppSettings.waitReceiverTimeout, 40);
  ExchangeBool(communication, "work_in_system", AppSettings.workInSystem, false);
  ExchangeLong(communication, "count_digit_dyn_params", AppSettings.countDigitDynParams, 3);
  ExchangeLong("/inform_win_view_0-engineer_1-fractional", "inf_win_view", AppSettings.infWinView, 0);

  AppSettings.language = LanguageNameFromCode(languageCode);

  if (load) {
    AddCatalogs();
    if (AppSettings.workInSystem && !StartInSystem()) return false;
  }
  return true;
}

kalvo_lorim::SerialPortLorimProtocol::Configurator App::MakePortConfigurator() {
  std::string port;
  for (wxString::const_iterator it = AppSettings.serialPort.begin();
       it != AppSettings.serialPort.end(); ++it) {
    const wxUint32 c = static_cast<wxUint32>((*it).GetValue());
    port += c > 127 ? '_' : static_cast<char>(c);
  }
  // A time-out that does not fit the configuration's unsigned field is
  // refused like one below the minimum, not wrapped into a huge wait.
  const long timeout = AppSettings.waitReceiverTimeout;
  const unsigned replyTimeout =
      timeout < 0 || static_cast<unsigned long>(timeout) > UINT_MAX ? 0u
                                                                    : static_cast<unsigned>(timeout);
  return kalvo_lorim::SerialPortLorimProtocol::Configurator(port.c_str(), replyTimeout, 6, 9600, 'N',
                                                            8, 0);
}

bool App::ParseCommandLine() {
  if (argc != 6) return false;
  const wxString login = argv[1];
  const wxString password = argv[2];
  const wxString port = argv[3];
  const wxString addressText = argv[4];
  const wxString timeoutText = argv[5];

  kalvo_lorim::Address address;
  if (!kalvo_lorim::ParseAddress(addressText, address)) return false;
  if (address == kalvo_lorim::BroadcastAddress() || address == kalvo_lorim::NoAddress() ||
      address == kalvo_lorim::OwnAddress()) {
    return false;
  }

  if (!port.StartsWith("COM")) return false;
  const std::wstring number = port.Mid(3).ToStdWstring();
  errno = 0;
  const long portNumber = std::wcstol(number.c_str(), nullptr, 10);
  if (portNumber < 1 || portNumber > 256) return false;

  long timeout = 0;
  if (!timeoutText.ToCLong(&timeout)) return false;

  cmdLogin = login;
  cmdPassword = password;
  cmdTimeout = timeout;
  cmdPort = port;
  cmdAddress = address;
  return true;
}
