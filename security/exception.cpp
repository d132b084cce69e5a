#include "security/exception.h"

namespace security {

Exception::Exception(const wxString& message, const char* sourceFile, int line)
    : sourceFile_(sourceFile ? wxString(sourceFile) : wxString()), line_(line), message_(message) {}

Exception::Exception(const Exception& other) = default;

Exception::~Exception() = default;

}  // namespace security
