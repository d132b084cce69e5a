#pragma once
// The one exception type of the security library.

#include <wx/string.h>

namespace security {

class Exception {
 public:
  // The message comes already translated; it ends with a blank so that the
  // caller can append its own hint.
  Exception(const wxString& message, const char* sourceFile, int line);
  Exception(const Exception& other);
  ~Exception();

  wxString GetMessage() const { return message_; }
  wxString GetFile() const { return sourceFile_; }
  int GetLine() const { return line_; }

 private:
  wxString sourceFile_;
  int line_;
  wxString message_;
};

}  // namespace security
