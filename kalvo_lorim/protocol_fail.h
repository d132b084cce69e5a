#pragma once
// Inside the protocol's members: fail with a code, naming this place.

#define PROTOCOL_FAIL(code) Fail(static_cast<int>(code), __FILE__, __LINE__)
// For the failures the last error must not tell: it still holds how the last
// exchange went.
#define PROTOCOL_FAIL_KEEPING_LAST_ERROR(code) \
  Fail(static_cast<int>(code), __FILE__, __LINE__, ::kalvo_lorim::SerialPortLorimProtocol::LastError::Keep)
