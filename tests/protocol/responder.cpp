#include "responder.h"

#include <chrono>

namespace protocoltest {

Responder::Responder(testsupport::PtyPair& pty, Script script)
    : pty_(pty), script_(std::move(script)), thread_([this] { Run(); }) {}

Responder::~Responder() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  thread_.join();
}

void Responder::Run() {
  Bytes pending;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
    }
    const Bytes in = pty_.Read(1, 20);
    pending.insert(pending.end(), in.begin(), in.end());
    while (pending.size() >= 14) {
      const std::size_t length = pending[8] | pending[9] << 8;
      const std::size_t size = 14 + (length ? length + 4 : 0);
      if (pending.size() < size) break;
      Bytes request(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(size));
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(size));
      std::size_t index;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        index = requests_.size();
      }
      const Bytes answer = script_(index, request);
      if (!answer.empty()) pty_.Write(answer);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(std::move(request));
      }
      changed_.notify_all();
    }
  }
}

bool Responder::WaitForRequests(std::size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}

std::vector<Bytes> Responder::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

}  // namespace protocoltest
