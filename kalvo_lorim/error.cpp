#include "kalvo_lorim/error.h"

#include <map>

#include <wx/intl.h>

namespace kalvo_lorim {

wxString ExceptionMessage(int code) {
  switch (static_cast<Error>(code)) {
    case Error::NoError: return _("No error");
    case Error::UnsupportedCommand: return _("Unsupported command");
    case Error::UnsupportedDataFormat: return _("Unsupported data format");
    case Error::HeaderCorrupted: return _("Package header structure corrupted");
    case Error::UnknownVariable: return _("Unknown variable");
    case Error::BusyCannotAnswer: return _("Unit is busy and can not answer now");
    case Error::BusyAnswerLater: return _("Unit is busy and will answer later");
    case Error::DataCorrupted: return _("Package data corrupted");
    case Error::WrongRedirect: return _("Wrong \"Redirect\" package");
    case Error::UnknownError: return _("Unknown error");
    case Error::NoAnswer: return _("No answer");
    case Error::IncompleteAnswer: return _("Not all data received");
    case Error::WriteError: return _("Write error");
    case Error::SerialPortError: return _("Serial port error");
    case Error::UnsupportedDataType: return _("Unsupported data type");
    case Error::BufferOverflow: return _("Buffer overflow");
    case Error::BufferUnderflow: return _("Buffer underflow");
  }
  return _("Unknown error");
}

Exception::Exception(const char* sourceFile, int line, int code)
    : file_(wxString::FromUTF8(sourceFile ? sourceFile : "")),
      line_(line),
      message_(ExceptionMessage(code)),
      code_(code) {}

}  // namespace kalvo_lorim

wxString ErrorText(int code) {
  if (code == 0) return wxString();
  // Filled once, on the first non-zero call, with the translations of that moment;
  // a function-local static makes the fill safe against a concurrent first call.
  static const std::map<int, wxString> texts = [] {
    std::map<int, wxString> m;
    m[1] = _("Unsupported command");
    m[2] = _("Unsupported data format");
    m[3] = _("Package header structure corrupted");
    m[4] = _("Unknown variable");
    m[5] = _("Unit is busy and can not answer now");
    m[6] = _("Unit is busy and will answer later");
    m[7] = _("Package data corrupted");
    m[10] = _("Wrong \"Redirect\" package");
    m[255] = _("Unknown error");
    m[0xF00] = _("No answer");
    m[0xF01] = _("Not all data received");
    m[0xF02] = _("Write error");
    return m;
  }();
  const auto it = texts.find(code);
  if (it != texts.end()) return it->second;
  return _("Unknown error");
}
