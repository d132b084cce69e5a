#pragma once
// The far end of a scripted line: takes each request frame the code under
// test sends and writes the bytes a script gives for it.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "pty.h"

namespace protocoltest {

using Bytes = std::vector<std::uint8_t>;

class Responder {
 public:
  // Called with the request's number (from 0) and its bytes; returns the answer.
  using Script = std::function<Bytes(std::size_t index, const Bytes& request)>;

  Responder(testsupport::PtyPair& pty, Script script);
  ~Responder();

  // Waits until `count` requests were answered.
  bool WaitForRequests(std::size_t count, int timeoutMs) const;
  std::vector<Bytes> Requests() const;

 private:
  void Run();

  testsupport::PtyPair& pty_;
  Script script_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Bytes> requests_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace protocoltest
