#pragma once
// The device thread: owns the bus connection and visits the points of a
// collection one after another, running one command per visit and turning
// every outcome into an event for the point and a call to the event target.
//
// Ownership: the owner creates the thread with new, starts it with Start, and
// ends it with Stop or Abandon, each of which consumes the object, also after
// a failed Start. The owner never deletes it and uses neither wxThread::Delete
// nor wxThread::Kill:
//   - Stop asks the thread to stop and waits until it has ended: the command
//     in progress finishes, every point gets the unplugged event, the port
//     is closed and the system thread is joined before Stop returns;
//   - Abandon gives up a thread that hangs in the bus: it marks the thread,
//     then wakes the read; from the mark on the thread touches none of the
//     owner's objects (points, collection, queues, target) again and reports
//     nothing more. The thread
//     then ends by itself and closes its port; Abandon waits a bounded time
//     for that. One that takes longer is joined and deleted by a later
//     Start of a thread, Stop or Abandon. The point it held stays busy
//     (PointsCollection::ReleaseBusy).
// wxThread::Kill would cancel the thread where it stands, with its locks held.

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include <boost/any.hpp>
#include <wx/thread.h>

#include "kalvo_lorim/command.h"
#include "kalvo_lorim/eventcmdtarget.h"
#include "kalvo_lorim/point.h"
#include "kalvo_lorim/pointscollection.h"
#include "kalvo_lorim/serialportlorimprotocol.h"

namespace kalvo_lorim {

class Thread : public wxThread {
 public:
  using Handler = void (Thread::*)(Point*, const boost::any&);
  // The argument of the data block command: the 72 bytes themselves.
  using DataBlock = std::array<unsigned char, 72>;

  // Room for the changed parameter list of the status follow-ups; a longer
  // list is cut to it.
  static constexpr std::size_t ChangedIdCapacity = 128;
  // How long Abandon waits, at most, for the thread to close its port.
  static constexpr unsigned AbandonWaitMs = 3000;
  // Failed visits in a row, with answers that fail otherwise than by
  // silence, after which the point is told of a read error.
  static constexpr unsigned FailedVisitLimit = 3;

  // Opens the port; a port that cannot be opened is reported while running.
  Thread(const SerialPortLorimProtocol::Configurator& configurator, PointsCollection* points,
         EventQueue* events, CommandQueue* commands, EventCmdTarget* target, bool listen);
  // Reply time-out 200 ms when slow, else 40 ms; 9600 baud, 8N1.
  Thread(const char* portName, bool slow, PointsCollection* points, EventQueue* events,
         CommandQueue* commands, EventCmdTarget* target, bool listen);
  ~Thread() override;

  // Creates and runs the system thread. On failure the object is not
  // running; end it with Stop as any other.
  bool Start();
  // From the owner's thread: asks to stop, waits until the thread ended and
  // deletes it (also one never started). From then on a failed exchange is
  // not repeated (and not reported): the command in progress completes while
  // the point answers, and ends at its first unanswered exchange otherwise.
  void Stop();
  // From the owner's thread: gives the thread up (see above). Waits at most
  // waitMs for it to close its port; true when it did. The caller must not
  // use the object afterwards.
  bool Abandon(unsigned waitMs = AbandonWaitMs);
  // Abandoned threads still running; those that ended are joined and deleted.
  static std::size_t AbandonedCount();
  // Test seam: called by Abandon between marking the thread and waking its
  // read, to widen that window. Null by default.
  static void SetAbandonStepHook(void (*hook)());

  // Read by the watchdog without a lock: a hint only.
  std::uint32_t GetReadStartTick() const { return protocol_.GetReadStartTick(); }
  // Milliseconds since the read in progress began, on the same tick as
  // GetReadStartTick; unsigned, so a wrap of the tick does no harm.
  std::uint32_t MsSinceReadStart() const;
  bool IsReading() const { return protocol_.IsReading(); }

  // True once a stop was asked for (Stop, Abandon or wxThread::Delete).
  bool TestDestroy() override;

 protected:
  ExitCode Entry() override;
  void OnExit() override;
  void OnDelete() override;

 private:
  struct Control;
  struct Abandoned {};

  void InitCommandTable();
  // Listen mode: takes one frame off the line and drops it; a failure after
  // a second without any frame ends the thread.
  void ListenOnce();
  bool HasEnded() const;
  static void ReapAbandoned();

  // Builds the event, lets the point handle it, tells the target when the
  // point accepted it, then queues or deletes it.
  void PostEvent(int kind, Point* point, const boost::any& payload);
  // After a failed command: "no answer" left on the port is reported at
  // once. Answers that keep failing otherwise (spoiled, cut, error answers
  // other than "busy") are reported as a read error after FailedVisitLimit
  // visits in a row, so that the last good measure does not stand as the
  // current one while the point is not heard.
  void ReportError(Point* point);
  // After a command that threw what the library does not throw: standard
  // error, and a read error for the point.
  void ReportUnexpected(Point* point, int key, const char* what);
  bool GateLets(Point* point, int key) const;
  void Visit(Point* point);
  // Waits without holding the owner's objects; ends the visit when the
  // thread was abandoned meanwhile.
  void Pause(unsigned ms);
  // Runs bus work with the owner's objects let go, so that Abandon never
  // waits for the line.
  template <class Work>
  void OnBus(Work&& work);
  void ThrowIfAbandoned() const;

  // Command handlers.
  void Plug(Point* point, const boost::any& argument);
  void Unplug(Point* point, const boost::any& argument);
  void RestartMeasures(Point* point, const boost::any& argument);
  void ReadParams(Point* point, const boost::any& argument);
  void ReadAlgorithms(Point* point, const boost::any& argument);
  void WriteParams(Point* point, const boost::any& argument);
  void ReadStatus(Point* point, const boost::any& argument);
  void ReadCurrentMeasure(Point* point, const boost::any& argument);
  void ReadCurrentAlgorithmMeasure(Point* point, const boost::any& argument);
  void ReadAlgorithmMeasure(Point* point, const boost::any& argument);
  void SetCurrentAlgorithm(Point* point, const boost::any& argument);
  void WriteAddress(Point* point, const boost::any& argument);
  void WriteDates(Point* point, const boost::any& argument);
  void WriteDeviceDate(Point* point, const boost::any& argument);
  void MoveUp(Point* point, const boost::any& argument);
  void MoveDown(Point* point, const boost::any& argument);
  void WriteVolumeLevel(Point* point, const boost::any& argument);
  void WriteDeviceLanguage(Point* point, const boost::any& argument);
  void WriteFactoryNumber(Point* point, const boost::any& argument);
  void ReadInstantValue(Point* point, const boost::any& argument);
  void WriteDataBlock(Point* point, const boost::any& argument);
  void Nothing(Point* point, const boost::any& argument);
  void ClearMemory(Point* point, const boost::any& argument);
  void PauseMeasure(Point* point, const boost::any& argument);
  void CompleteSeries(Point* point, const boost::any& argument);
  void ContinueMeasure(Point* point, const boost::any& argument);
  void StartSeries(Point* point, const boost::any& argument);
  void ReadQuorvanData(Point* point, const boost::any& argument);
  void ReadTempRecord(Point* point, const boost::any& argument);
  void ReadRecordsCount(Point* point, const boost::any& argument);
  void ReadTrueValue(Point* point, const boost::any& argument);

  // Status follow-ups.
  Measure MeasureWithStatus(Point* point, std::uint16_t word) const;
  void PostNotReady(Point* point, Measure measure);
  void ReadChanged(Point* point);
  // Dynamic parameter 30 as a number.
  double TrueValue(Point* point);
  int FindIndex(const Point* point) const;

  SerialPortLorimProtocol protocol_;
  PointsCollection* points_;
  EventQueue* events_;
  CommandQueue* commands_;
  EventCmdTarget* target_;
  bool listen_;
  std::map<int, Handler> table_;
  // Failed visits in a row per point address (a, b, c packed).
  std::map<std::uint32_t, unsigned> failedVisits_;
  std::shared_ptr<Control> control_;
  // Held by the device thread while it works on the owner's objects.
  std::unique_lock<std::mutex> hold_;
};

// The longest leading decimal number of the text ("12.3 V" gives 12.3); 0
// when it starts with none.
double LeadingNumber(const wxString& text);

}  // namespace kalvo_lorim
