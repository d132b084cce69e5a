#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <stdexcept>

#include "platform/tick.h"
#include "pointsim.h"

namespace pointsim {

namespace {

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point t) {
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(t - Clock::now()).count();
  return left <= 0 ? 0 : int((left + 999) / 1000);
}

}  // namespace

double LineSettings::BitsPerByte() const {
  const double stop = stopBits == 1 ? 1.5 : stopBits == 2 ? 2.0 : 1.0;
  return 1.0 + dataBits + (parity == 'N' ? 0.0 : 1.0) + stop;
}

Bus::Bus() {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe for the bus thread");
  slaveProbe_ = open(pty_.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

Bus::~Bus() {
  Stop();
  close(wake_[0]);
  close(wake_[1]);
  if (slaveProbe_ >= 0) close(slaveProbe_);
}

Point& Bus::AddPoint(const Address& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  points_.push_back(std::make_unique<Point>(address));
  return *points_.back();
}

Point& Bus::GetPoint(std::size_t index) {
  std::lock_guard<std::mutex> lock(mutex_);
  return *points_.at(index);
}

std::size_t Bus::PointCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return points_.size();
}

void Bus::Start() {
  if (thread_.joinable()) return;
  char drain[16];
  while (read(wake_[0], drain, sizeof drain) > 0) {
  }
  stopping_ = false;
  thread_ = std::thread([this] { Run(); });
}

void Bus::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  const char one = 1;
  ssize_t ignored = write(wake_[1], &one, 1);
  (void)ignored;
  thread_.join();
}

void Bus::SetPacing(bool on, const LineSettings& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  pacing_ = on;
  line_ = line;
}

void Bus::SetTurnaround(int ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  turnaroundMs_ = ms < 0 ? 0 : ms;
}

void Bus::SetFrameGap(int ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  frameGapMs_ = ms < 1 ? 1 : ms;
}

std::vector<Request> Bus::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::size_t Bus::RequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

void Bus::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}

bool Bus::WaitForRequests(std::size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return recorded_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return requests_.size() >= count; });
}

bool Bus::WaitUntil(const std::function<bool(const std::vector<Request>&)>& done, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return recorded_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done(requests_); });
}

void Bus::SetObserver(std::function<void(const Request&)> observer) {
  std::lock_guard<std::mutex> lock(mutex_);
  observer_ = std::move(observer);
}

void Bus::Record(Request request) {
  std::function<void(const Request&)> observer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
    observer = observer_;
  }
  recorded_.notify_all();
  if (observer) observer(request);
}

bool Bus::Pause(int ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (stopping_) return false;
    const int left = MsUntil(until);
    if (left == 0) return true;
    pollfd pfd{wake_[0], POLLIN, 0};
    poll(&pfd, 1, left);
  }
}

bool Bus::WriteAll(const std::uint8_t* p, std::size_t n) {
  // Nobody may read the slave side; give up rather than hang the bus.
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while (n > 0) {
    const ssize_t w = write(pty_.Master(), p, n);
    if (w > 0) {
      p += w;
      n -= std::size_t(w);
      continue;
    }
    if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
    const int left = MsUntil(deadline);
    if (left == 0 || stopping_) return false;
    pollfd fds[2] = {{pty_.Master(), POLLOUT, 0}, {wake_[0], POLLIN, 0}};
    poll(fds, 2, std::min(left, 100));
  }
  return true;
}

LineSettings Bus::CurrentLine() const {
  LineSettings line;
  termios t{};
  if (slaveProbe_ < 0 || tcgetattr(slaveProbe_, &t) != 0) return line;
  static const std::pair<speed_t, int> rates[] = {
      {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},         {B150, 150},
      {B200, 200},       {B300, 300},       {B600, 600},       {B1200, 1200},       {B1800, 1800},
      {B2400, 2400},     {B4800, 4800},     {B9600, 9600},     {B19200, 19200},     {B38400, 38400},
      {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800},   {B500000, 500000},
      {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000}, {B2000000, 2000000}, {B4000000, 4000000},
  };
  const speed_t speed = cfgetospeed(&t);
  for (const auto& r : rates)
    if (r.first == speed) line.baud = r.second;
  line.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 'F' : 'E') : 'N';
  switch (t.c_cflag & CSIZE) {
    case CS5: line.dataBits = 5; break;
    case CS6: line.dataBits = 6; break;
    case CS7: line.dataBits = 7; break;
    default: line.dataBits = 8; break;
  }
  line.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
  return line;
}

bool Bus::SendPaced(const Bytes& bytes) {
  bool pacing;
  LineSettings line;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pacing = pacing_;
    line = line_;
  }
  if (pacing && line.baud == LineSettings::FromLine) line = CurrentLine();
  if (!pacing || line.baud <= 0) return WriteAll(bytes.data(), bytes.size());

  // Each byte leaves when its last bit would have been on the wire.
  const double byteUs = line.BitsPerByte() * 1e6 / line.baud;
  const auto start = Clock::now();
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    if (stopping_) return false;
    const double elapsedUs =
        double(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
    const std::size_t due = std::min(bytes.size(), std::size_t(std::floor(elapsedUs / byteUs)));
    if (due > sent) {
      if (!WriteAll(bytes.data() + sent, due - sent)) return false;
      sent = due;
      continue;
    }
    const auto next = start + std::chrono::microseconds(std::int64_t(std::ceil((sent + 1) * byteUs)));
    const auto waitUs = std::chrono::duration_cast<std::chrono::microseconds>(next - Clock::now()).count();
    if (waitUs > 0) {
      timespec ts{time_t(waitUs / 1000000), long(waitUs % 1000000) * 1000};
      pollfd pfd{wake_[0], POLLIN, 0};
      ppoll(&pfd, 1, &ts, nullptr);
    }
  }
  return true;
}

void Bus::Serve(Request request, bool dataChecksumOk) {
  std::vector<Point*> points;
  int turnaround;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& p : points_) points.push_back(p.get());
    turnaround = turnaroundMs_;
  }
  for (Point* point : points) {
    const auto answers = point->Handle(request.frame, dataChecksumOk);
    for (std::size_t i = 0; i < answers.size(); ++i) {
      const int wait = (i == 0 ? turnaround : 0) + answers[i].delayMs;
      if (wait > 0 && !Pause(wait)) return;
      if (!SendPaced(answers[i].bytes)) break;
      request.answer.insert(request.answer.end(), answers[i].bytes.begin(), answers[i].bytes.end());
    }
  }
  Record(std::move(request));
}

void Bus::Consume(std::vector<std::uint8_t>& in, bool quiet) {
  auto flushGarbage = [this] {
    if (garbage_.empty()) return;
    Request g;
    g.status = RequestStatus::Garbage;
    g.raw.swap(garbage_);
    g.tick = platform::GetTickCount();
    Record(std::move(g));
  };
  std::size_t pos = 0;
  while (pos < in.size() && !stopping_) {
    Frame frame;
    std::size_t used = 0;
    const DecodeResult r = Decode(in.data() + pos, in.size() - pos, frame, used);
    if (r == DecodeResult::NeedMore) {
      if (!quiet) break;
      flushGarbage();
      Request partial;
      partial.status = RequestStatus::Incomplete;
      partial.raw.assign(in.begin() + std::ptrdiff_t(pos), in.end());
      partial.tick = platform::GetTickCount();
      pos = in.size();
      Record(std::move(partial));
      break;
    }
    if (r == DecodeResult::BadHeader) {
      // Slide by one byte until a valid header starts.
      garbage_.push_back(in[pos++]);
      if (garbage_.size() >= 4096) flushGarbage();
      continue;
    }
    flushGarbage();
    Request request;
    request.status = r == DecodeResult::Ok ? RequestStatus::Ok : RequestStatus::BadDataChecksum;
    request.frame = frame;
    request.raw.assign(in.begin() + std::ptrdiff_t(pos), in.begin() + std::ptrdiff_t(pos + used));
    request.tick = platform::GetTickCount();
    pos += used;
    Serve(std::move(request), r == DecodeResult::Ok);
  }
  in.erase(in.begin(), in.begin() + std::ptrdiff_t(pos));
  if (quiet) flushGarbage();
}

void Bus::Run() {
  std::vector<std::uint8_t> in;
  auto lastByte = Clock::now();
  while (!stopping_) {
    int gap;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      gap = frameGapMs_;
    }
    const bool pending = !in.empty() || !garbage_.empty();
    const int timeout = pending ? MsUntil(lastByte + std::chrono::milliseconds(gap)) : 1000;
    pollfd fds[2] = {{pty_.Master(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int r = poll(fds, 2, timeout);
    if (stopping_) break;
    if (r < 0) {
      if (errno == EINTR) continue;
      Pause(50);
      continue;
    }
    if (fds[0].revents & POLLIN) {
      std::uint8_t buf[4096];
      const ssize_t n = read(pty_.Master(), buf, sizeof buf);
      if (n > 0) {
        in.insert(in.end(), buf, buf + n);
        lastByte = Clock::now();
        Consume(in, false);
        continue;
      }
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      // No reader on the slave side for the moment: wait instead of spinning.
      Pause(20);
      continue;
    }
    if (pending && MsUntil(lastByte + std::chrono::milliseconds(gap)) == 0) Consume(in, true);
  }
}

}  // namespace pointsim
