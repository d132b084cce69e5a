#pragma once
// Error codes of the device library: the points' own error answers (1..10, 255)
// and the local failures from 0xF00 on.

#include <wx/string.h>

namespace kalvo_lorim {

enum class Error : int {
  NoError = 0,
  UnsupportedCommand = 1,
  UnsupportedDataFormat = 2,
  HeaderCorrupted = 3,
  UnknownVariable = 4,
  BusyCannotAnswer = 5,
  BusyAnswerLater = 6,
  DataCorrupted = 7,
  WrongRedirect = 10,
  UnknownError = 255,
  NoAnswer = 0xF00,
  IncompleteAnswer = 0xF01,
  WriteError = 0xF02,
  SerialPortError = 0xF03,
  UnsupportedDataType = 0xF04,
  BufferOverflow = 0xF05,
  BufferUnderflow = 0xF06,
};

// Thrown by value, caught by reference.
class Exception {
 public:
  Exception(const char* sourceFile, int line, int code);
  Exception(const char* sourceFile, int line, Error code)
      : Exception(sourceFile, line, static_cast<int>(code)) {}

  wxString GetFile() const { return file_; }
  int GetLine() const { return line_; }
  wxString GetMessage() const { return message_; }
  int GetCode() const { return code_; }

 private:
  wxString file_;
  int line_;
  wxString message_;
  int code_;
};

// The exception's message for a code, translated.
wxString ExceptionMessage(int code);

}  // namespace kalvo_lorim

// The error-text map of the point's state texts; empty for code 0.
wxString ErrorText(int code);

#define KALVO_THROW(code) throw ::kalvo_lorim::Exception(__FILE__, __LINE__, (code))
