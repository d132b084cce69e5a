#pragma once
// Requests for the device thread, waiting per point address, and the
// optional store of handled events.

#include <map>
#include <mutex>
#include <vector>

#include <boost/any.hpp>
#include <wx/string.h>

#include "kalvo_lorim/event.h"
#include "kalvo_lorim/types.h"

// Device commands; a command's kind is a plain int, 0..49.
namespace CommandKind {
enum : int {
  None = 0,
  Plug = 1,
  Unplug = 2,
  RestartMeasures = 3,
  ReadParams = 4,
  ReadAlgorithms = 5,
  WriteParams = 6,
  ReadStatus = 7,
  ReadCurrentMeasure = 8,
  ReadCurrentAlgorithmMeasure = 9,
  ReadAlgorithmMeasure = 10,  // + algorithm index 0..15
  SetCurrentAlgorithm = 26,
  WriteAddress = 27,
  WriteDates = 28,
  WriteDeviceDate = 29,
  ReadMeasureNotReady = 30,
  ReadMeasureSpare = 31,
  MoveUp = 32,
  MoveDown = 33,
  WriteVolumeLevel = 34,
  WriteDeviceLanguage = 35,
  WriteFactoryNumber = 36,
  ReadInstantValue = 37,
  WriteDataBlock = 38,
  GetTrueValue = 39,
  ClearMemory = 40,
  PauseMeasure = 41,
  CompleteSeries = 42,
  ContinueMeasure = 43,
  StartSeries = 44,
  ReadQuorvanData = 45,
  ReadTempRecord = 46,
  Spare47 = 47,
  ReadRecordsCount = 48,
  ReadTrueValue = 49,
};
}  // namespace CommandKind

// One request for a point.
struct Command {
  int kind = CommandKind::None;
  kalvo_lorim::Address address;
  boost::any argument;

  Command() = default;
  Command(int kind_, const kalvo_lorim::Address& address_, const boost::any& argument_)
      : kind(kind_), address(address_), argument(argument_) {}
};

namespace kalvo_lorim {
// Also reachable through the library's namespace.
namespace CommandKind = ::CommandKind;
}  // namespace kalvo_lorim

// Pending commands by point address, oldest first. Posting (user-interface
// thread) and taking (device thread) are serialised by the queue itself.
class CommandQueue {
 public:
  CommandQueue() = default;
  CommandQueue(const CommandQueue&) = delete;
  CommandQueue& operator=(const CommandQueue&) = delete;
  ~CommandQueue() = default;

  // Never refuses; waits after every command already posted for the address.
  void Post(int kind, const kalvo_lorim::Address& address, const boost::any& argument);
  // False, and `command` untouched, when nothing waits for the address.
  bool Take(const kalvo_lorim::Address& address, Command& command);

  // "%3d.%3d.%3d"
  static wxString AddressKey(const kalvo_lorim::Address& address);

 private:
  std::mutex lock_;
  std::multimap<wxString, Command> commands_;
};

// Handled events, first in first out; owns the events in it. Filled by the
// device thread only; a reader in another thread needs its own serialisation.
class EventQueue {
 public:
  EventQueue() = default;
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;
  ~EventQueue();

  void Push(kalvo_lorim::Event* event);
  // Deletes the oldest event; when `out` is given it first receives a copy of it.
  void Pop(kalvo_lorim::Event* out = nullptr);
  // Copies the oldest event into `out`, leaving it queued.
  void Front(kalvo_lorim::Event* out) const;
  std::size_t Size() const { return events_.size(); }
  bool IsEmpty() const { return events_.empty(); }
  // Index below Size; stays owned by the queue.
  kalvo_lorim::Event* At(std::size_t index) const { return events_.at(index); }
  bool Clear();

 private:
  std::vector<kalvo_lorim::Event*> events_;
};

namespace kalvo_lorim {
using ::Command;
using ::CommandQueue;
using ::EventQueue;
}  // namespace kalvo_lorim
