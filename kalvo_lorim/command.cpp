#include "kalvo_lorim/command.h"

void CommandQueue::Post(int kind, const kalvo_lorim::Address& address,
                        const boost::any& argument) {
  const wxString key = AddressKey(address);
  const Command command(kind, address, argument);
  std::lock_guard<std::mutex> guard(lock_);
  // Equal keys are inserted after the existing ones, which keeps posting order.
  commands_.emplace(key, command);
}

bool CommandQueue::Take(const kalvo_lorim::Address& address, Command& command) {
  const wxString key = AddressKey(address);
  std::lock_guard<std::mutex> guard(lock_);
  // The oldest command of a key is the first of its equal keys.
  const auto oldest = commands_.lower_bound(key);
  if (oldest == commands_.end() || oldest->first != key) return false;
  command = oldest->second;
  commands_.erase(oldest);
  return true;
}

wxString CommandQueue::AddressKey(const kalvo_lorim::Address& address) {
  return address.KeyText();
}

EventQueue::~EventQueue() { Clear(); }

void EventQueue::Push(kalvo_lorim::Event* event) {
  if (event) events_.push_back(event);
}

void EventQueue::Pop(kalvo_lorim::Event* out) {
  if (events_.empty()) return;
  kalvo_lorim::Event* oldest = events_.front();
  if (out) *out = *oldest;
  events_.erase(events_.begin());
  delete oldest;
}

void EventQueue::Front(kalvo_lorim::Event* out) const {
  if (events_.empty() || !out) return;
  *out = *events_.front();
}

bool EventQueue::Clear() {
  while (!events_.empty()) Pop();
  return true;
}
