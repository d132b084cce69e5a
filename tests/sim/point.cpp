#include <algorithm>
#include <stdexcept>

#include "pointsim.h"

namespace pointsim {

namespace {

constexpr std::uint8_t ErrUnsupportedCommand = 1;
constexpr std::uint8_t ErrUnsupportedFormat = 2;
constexpr std::uint8_t ErrUnknownVariable = 4;
constexpr std::uint8_t ErrDataCorrupted = 7;

constexpr std::uint16_t ParamsChangedBit = 0x0400;

std::uint8_t AlgorithmBase(int a) { return std::uint8_t(32 + 5 * a); }
std::uint8_t ParamNameId(int i) { return std::uint8_t((112 + 2 * i) % 256); }
std::uint8_t ParamValueId(int i) { return std::uint8_t((113 + 2 * i) % 256); }

// Whether a written value has the size its data type calls for.
bool ValueFits(std::uint8_t t, const Bytes& v) {
  switch (t) {
    case type::Byte: return !v.empty();
    case type::Text8: return true;
    case type::Word: return v.size() == 2;
    case type::Long:
    case type::ShortFloat:
    case type::Float: return v.size() == 4;
    case type::Text:
      return v.size() >= 2 && v.size() % 2 == 0 && v[v.size() - 1] == 0 && v[v.size() - 2] == 0;
    case type::Date: return v.size() == DateTime::Size;
    case type::Addr: return v.size() == 3;
    default: return false;
  }
}

// Fixed write types of the settings a point takes; parameter values are checked by their own type.
int FixedWriteType(std::uint8_t id) {
  switch (id) {
    case 4: return type::Text;
    case 6: return type::Word;
    case 12:
    case 13:
    case 31: return type::Date;
    case 14:
    case 21:
    case 25:
    case 251: return type::Byte;
    case 24:
    case 252:
    case 253:
    case 254: return type::Word;
    case 29: return type::Addr;
    default: return -1;
  }
}

}  // namespace

Fault Fault::NoAnswer(int times, int variable) {
  return Make(FaultKind::NoAnswer, 0, variable, times);
}

Fault Fault::ErrorAnswer(int code, int variable, int times) {
  return Make(FaultKind::ErrorAnswer, code, variable, times);
}

Fault Fault::Make(FaultKind kind, int value, int variable, int times) {
  Fault f;
  f.kind = kind;
  f.value = value;
  f.variable = variable;
  f.times = times;
  return f;
}

Point::Point(const Address& address) : address_(address) {
  // A plausible point: two algorithms, one parameter of every value type a
  // point may send, and its own status flag table, so a full read succeeds.
  SetText(4, "SN-000123");
  SetByte(6, 9);
  SetVariable(7, type::Byte, Bytes{9, 0, 25, 0, 34, 0});
  SetVariable(8, type::Byte, Bytes());
  SetLong(10, 42);
  SetText(11, "Warming up");
  SetDate(12, DateTime(12, 8, 3, 9, 30, 0, 0));
  SetDate(13, DateTime(12, 7, 1, 12, 0, 0, 0));
  SetByte(14, 5);
  SetText(18, "Channel A");
  SetWord(24, 0);
  SetText(27, "KALVO-SIM");
  SetByte(28, 7);
  SetText(30, "1.00");
  SetDate(31, DateTime(24, 3, 15, 10, 20, 30, 500));
  SetByte(248, 0);
  SetText(252, "Variable 252");
  SetWord(253, 17);
  SetText(254, "Query answer");

  // Measurement record: number A 1, D1 03.08.2012 14:05:09, D2 14:00:00,
  // F1 120, number B 2, N2 30, F2 15.5, D3 14:10:30, flag 0, N1 60.
  Bytes record(72, 0);
  auto put = [&record](std::size_t at, const Bytes& b) {
    std::copy(b.begin(), b.end(), record.begin() + at);
  };
  record[0] = 1;
  put(3, DateBytes(DateTime(12, 8, 3, 14, 5, 9, 0)));
  put(11, DateBytes(DateTime(12, 8, 3, 14, 0, 0, 0)));
  put(19, F32(120.0f));
  record[23] = 2;
  put(28, U16(30));
  put(30, F32(15.5f));
  put(35, DateBytes(DateTime(12, 8, 3, 14, 10, 30, 0)));
  put(68, U32(60));
  SetVariable(3, type::Text, record);

  SetAlgorithm(0, "Temperature", "\xC2\xB0" "C", 21.5f, 120, 3);
  SetAlgorithm(1, "Pressure", "kPa", 101.3f, 60, 1);
  SetByte(21, 1);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    SelectAlgorithmLocked(1);
  }
  SetCurrentMeasure(21.5f, 3);
  SetInstantValue(1.5f, 2.5f, 100);

  SetParam(0, "Averaging", type::Byte, Bytes{10});
  SetParam(1, "Label", type::Text8, Bytes{'A', 'B', 'C'});
  SetParam(2, "Range", type::ShortFloat, Bytes{0xF4, 0x0D, 0, 0});  // 5000
  SetParam(3, "Threshold", type::Float, F32(100.5f));
  SetParam(4, "Location", type::Text, Utf16("Room 12"));
  SetParam(5, "Master address", type::Addr, Bytes{10, 20, 30});

  SetStatusRows({{"Short circuit", 1},
                 {"Block absent", 1},
                 {"Block broken", 1},
                 {"Memory broken", 1},
                 {"Unknown block type", 1},
                 {"Threshold exceeded", 2},
                 {"Prethreshold exceeded", 2},
                 {"Threshold reduced", 2},
                 {"Sensitivity exceeded", 2},
                 {"Block not ready", 0},
                 {"Parameters changed", 0},
                 {"Measure paused", 0}});
}

Address Point::GetAddress() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return address_;
}

void Point::SetAddress(const Address& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  address_ = address;
}

void Point::SetAnswersUnaddressed(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  answersUnaddressed_ = on;
}

void Point::SetVariable(std::uint8_t id, std::uint8_t t, const Bytes& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  SetVariableLocked(id, t, value);
}

void Point::SetVariableLocked(std::uint8_t id, std::uint8_t t, const Bytes& value) {
  vars_[id] = Variable{t, value};
  if (id == 24) MirrorStatusLocked();
}

std::optional<Variable> Point::GetVariable(std::uint8_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = vars_.find(id);
  if (it == vars_.end()) return std::nullopt;
  return it->second;
}

void Point::RemoveVariable(std::uint8_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  vars_.erase(id);
}

void Point::RemoveAllVariables() {
  std::lock_guard<std::mutex> lock(mutex_);
  vars_.clear();
  rows_.clear();
}

const Variable& Point::Need(std::uint8_t id, std::size_t bytes) const {
  const auto it = vars_.find(id);
  if (it == vars_.end() || it->second.value.size() < bytes)
    throw std::out_of_range("point variable " + std::to_string(id) + " missing or too short");
  return it->second;
}

std::uint8_t Point::GetByte(std::uint8_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return Need(id, 1).value[0];
}

std::uint16_t Point::GetWord(std::uint8_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ReadU16(Need(id, 2).value, 0);
}

std::uint32_t Point::GetLong(std::uint8_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ReadU32(Need(id, 4).value, 0);
}

float Point::GetFloat(std::uint8_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ReadF32(Need(id, 4).value, 0);
}

std::string Point::GetText(std::uint8_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return FromUtf16(Need(id, 0).value);
}

DateTime Point::GetDate(std::uint8_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const Bytes& v = Need(id, DateTime::Size).value;
  std::uint8_t raw[DateTime::Size];
  std::copy(v.begin(), v.begin() + DateTime::Size, raw);
  return DateTime(raw);
}

void Point::SetAlgorithm(int a, const std::string& name, const std::string& unit, float value,
                         std::uint32_t seconds, std::uint8_t uncertainty) {
  if (a < 0 || a > 15) throw std::out_of_range("algorithm index");
  std::lock_guard<std::mutex> lock(mutex_);
  const std::uint8_t base = AlgorithmBase(a);
  SetVariableLocked(base, type::Text, Utf16(name));
  SetVariableLocked(base + 1, type::Text, Utf16(unit));
  SetVariableLocked(base + 2, type::Float, F32(value));
  SetVariableLocked(base + 3, type::Long, U32(seconds));
  SetVariableLocked(base + 4, type::Byte, Bytes{uncertainty});
  auto& count = vars_[22];
  if (count.value.empty() || count.value[0] < a + 1) count = Variable{type::Byte, Bytes{std::uint8_t(a + 1)}};
}

void Point::SetParam(int i, const std::string& name, std::uint8_t valueType, const Bytes& value) {
  if (i < 0 || i > 255) throw std::out_of_range("parameter index");
  std::lock_guard<std::mutex> lock(mutex_);
  SetVariableLocked(ParamNameId(i), type::Text, Utf16(name));
  SetVariableLocked(ParamValueId(i), valueType, value);
  auto& count = vars_[23];
  if (count.value.empty() || count.value[0] < i + 1) count = Variable{type::Byte, Bytes{std::uint8_t(i + 1)}};
}

void Point::ChangeParams(const std::vector<int>& indexes) {
  std::lock_guard<std::mutex> lock(mutex_);
  Variable& list = vars_[8];
  list.type = type::Byte;
  for (int i : indexes) list.value.push_back(ParamValueId(i));
  auto& status = vars_[24];
  const std::uint16_t word = status.value.size() >= 2 ? ReadU16(status.value, 0) : 0;
  SetVariableLocked(24, type::Word, U16(word | ParamsChangedBit));
}

std::uint16_t Point::StatusWord() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ReadU16(Need(24, 2).value, 0);
}

void Point::SetStatusWord(std::uint16_t word) { SetWord(24, word); }

void Point::MirrorStatusLocked() {
  const auto status = vars_.find(24);
  const auto measure = vars_.find(15);
  if (status == vars_.end() || status->second.value.size() < 2) return;
  if (measure == vars_.end() || measure->second.value.size() < 6) return;
  measure->second.value[4] = status->second.value[0];
  measure->second.value[5] = status->second.value[1];
}

void Point::SetCurrentMeasure(float value, std::uint8_t uncertainty) {
  std::lock_guard<std::mutex> lock(mutex_);
  Bytes m = F32(value);
  m.push_back(0);
  m.push_back(0);
  m.push_back(uncertainty);
  vars_[15] = Variable{type::Byte, m};
  MirrorStatusLocked();
}

void Point::SetInstantValue(float a, float b, std::uint32_t n) {
  Bytes v = F32(a);
  const Bytes fb = F32(b), nb = U32(n);
  v.insert(v.end(), fb.begin(), fb.end());
  v.insert(v.end(), nb.begin(), nb.end());
  SetVariable(9, type::Byte, v);
}

void Point::SetStatusRows(const std::vector<StatusRow>& rows) {
  std::lock_guard<std::mutex> lock(mutex_);
  rows_ = rows;
  vars_[250] = Variable{type::Byte, Bytes{std::uint8_t(std::min<std::size_t>(rows.size(), 255))}};
  vars_[249] = Variable{type::Byte, Bytes{0}};
  vars_[251] = Variable{type::Text, Utf16("")};
}

int Point::SelectedRow() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return selectedRow_;
}

std::uint16_t Point::RecordsCount() const { return GetWord(253); }
void Point::SetRecordsCount(std::uint16_t n) { SetWord(253, n); }

void Point::SetQueryBusyReads(int n) {
  std::lock_guard<std::mutex> lock(mutex_);
  queryBusyReads_ = n;
}

Bytes Point::DataBlock() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dataBlock_;
}

std::string Point::Text248() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text248_;
}

std::uint16_t Point::Word252() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return word252_;
}

std::uint16_t Point::QueryArgument() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queryArgument_;
}

std::vector<std::uint8_t> Point::Restarts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return restarts_;
}

void Point::AddFault(const Fault& fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.push_back(fault);
}

void Point::ClearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
}

// Copies algorithm `number` (1-based) into the variables of the current algorithm.
void Point::SelectAlgorithmLocked(std::uint8_t number) {
  if (number == 0 || number > 16) return;
  const std::uint8_t base = AlgorithmBase(number - 1);
  const std::uint8_t targets[4][2] = {{17, 1}, {16, 2}, {19, 3}, {20, 4}};
  for (const auto& t : targets) {
    const auto it = vars_.find(base + t[1]);
    if (it != vars_.end()) vars_[t[0]] = it->second;
  }
}

bool Point::Addressed(const Frame& f) const {
  if (f.destination == address_) return true;
  if (f.destination == kalvo_lorim::BroadcastAddress()) return f.kind == kind::Identify;
  if (f.destination == kalvo_lorim::NoAddress()) return answersUnaddressed_;
  return false;
}

Frame Point::AnswerFrame(const Frame& f, std::uint8_t k, std::uint8_t t, Bytes data) const {
  Frame a;
  a.destination = f.source;
  a.source = address_;
  a.kind = k;
  a.type = t;
  a.data = std::move(data);
  return a;
}

Frame Point::ErrorFrame(const Frame& f, std::uint8_t code) const {
  return AnswerFrame(f, kind::ErrorAnswer, type::Byte,
                     Bytes{std::uint8_t(f.Id() < 0 ? 0 : f.Id()), code});
}

Frame Point::ProcessRead(const Frame& f) {
  if (f.data.empty()) return ErrorFrame(f, ErrUnsupportedFormat);
  const std::uint8_t id = f.data[0];
  Bytes data{id};
  auto answer = [&](std::uint8_t t, const Bytes& v) {
    data.insert(data.end(), v.begin(), v.end());
    return AnswerFrame(f, kind::Read, t, data);
  };
  switch (id) {
    case 8: {
      const auto it = vars_.find(8);
      if (it == vars_.end()) break;
      Frame a = answer(it->second.type, it->second.value);
      // A point reports its changes once.
      it->second.value.clear();
      auto& status = vars_[24];
      if (status.value.size() >= 2) {
        SetVariableLocked(24, status.type,
                          U16(std::uint16_t(ReadU16(status.value, 0) & ~ParamsChangedBit)));
      }
      return a;
    }
    case 29:
      return answer(type::Addr, AddressBytes(address_));
    case 248:
      if (busyLeft_ > 0) {
        --busyLeft_;
        return answer(type::Byte, Bytes{1});
      }
      break;
    case 249:
    case 251:
      if (!rows_.empty() || vars_.count(250)) {
        if (selectedRow_ < 0 || selectedRow_ >= int(rows_.size())) return ErrorFrame(f, ErrUnknownVariable);
        const StatusRow& row = rows_[selectedRow_];
        return id == 249 ? answer(type::Byte, Bytes{row.level}) : answer(type::Text, Utf16(row.text));
      }
      break;
    default:
      break;
  }
  const auto it = vars_.find(id);
  if (it == vars_.end()) return ErrorFrame(f, ErrUnknownVariable);
  return answer(it->second.type, it->second.value);
}

Frame Point::ProcessWrite(const Frame& f) {
  if (f.data.empty()) return ErrorFrame(f, ErrUnsupportedFormat);
  const std::uint8_t id = f.data[0];
  const Bytes value = f.Value();
  const Frame ack = AnswerFrame(f, kind::Write, f.type, Bytes{id});

  // Parameter values take their own type.
  const auto count = vars_.find(23);
  const int params = count != vars_.end() && !count->second.value.empty() ? count->second.value[0] : 0;
  for (int i = 0; i < params; ++i) {
    if (ParamValueId(i) != id || FixedWriteType(id) >= 0) continue;
    const auto it = vars_.find(id);
    if (it == vars_.end()) return ErrorFrame(f, ErrUnknownVariable);
    if (f.type != it->second.type || !ValueFits(f.type, value)) return ErrorFrame(f, ErrUnsupportedFormat);
    it->second.value = value;
    return ack;
  }

  if (id == 248) {
    if (f.type == type::Byte && !value.empty()) {
      dataBlock_ = value;
    } else if (f.type == type::Text && ValueFits(type::Text, value)) {
      text248_ = FromUtf16(value);
    } else {
      return ErrorFrame(f, ErrUnsupportedFormat);
    }
    return ack;
  }

  // A single byte to the address variable is taken and changes nothing.
  if (id == 29 && f.type == type::Byte && value.size() == 1) return ack;

  const int wanted = FixedWriteType(id);
  if (wanted < 0) return ErrorFrame(f, vars_.count(id) ? ErrUnsupportedCommand : ErrUnknownVariable);
  if (f.type != wanted || !ValueFits(f.type, value)) return ErrorFrame(f, ErrUnsupportedFormat);

  switch (id) {
    case 6: {
      const std::uint16_t lang = ReadU16(value, 0);
      vars_[6] = lang < 256 ? Variable{type::Byte, Bytes{std::uint8_t(lang)}} : Variable{type::Byte, value};
      break;
    }
    case 21:
      vars_[21] = Variable{type::Byte, value};
      SelectAlgorithmLocked(value[0]);
      break;
    case 25: {
      restarts_.push_back(value[0]);
      // A restarted algorithm starts counting its measuring time again.
      const int n = vars_.count(22) && !vars_[22].value.empty() ? vars_[22].value[0] : 0;
      const int current = vars_.count(21) && !vars_[21].value.empty() ? vars_[21].value[0] : 0;
      for (int a = 0; a < n && a < 16; ++a) {
        const bool hit = value[0] == 255 || value[0] == a + 1 || (value[0] == 0 && current == a + 1);
        if (!hit) continue;
        vars_[AlgorithmBase(a) + 3] = Variable{type::Long, U32(0)};
        if (current == a + 1) vars_[19] = Variable{type::Long, U32(0)};
      }
      break;
    }
    case 29:
      address_ = Address(value[0], value[1], value[2]);
      break;
    case 251:
      selectedRow_ = value[0];
      break;
    case 252:
      word252_ = ReadU16(value, 0);
      break;
    case 253:
      if (ReadU16(value, 0) != 0) return ErrorFrame(f, ErrUnsupportedCommand);
      SetVariableLocked(253, type::Word, U16(0));
      break;
    case 254:
      queryArgument_ = ReadU16(value, 0);
      busyLeft_ = queryBusyReads_;
      break;
    default:
      SetVariableLocked(id, f.type, value);
      break;
  }
  return ack;
}

Frame Point::Process(const Frame& f, bool dataChecksumOk) {
  if (!dataChecksumOk) return ErrorFrame(f, ErrDataCorrupted);
  switch (f.kind) {
    case kind::Identify: return AnswerFrame(f, kind::Identify, type::None, Bytes());
    case kind::Read: return ProcessRead(f);
    case kind::Write: return ProcessWrite(f);
    default: return ErrorFrame(f, ErrUnsupportedCommand);
  }
}

std::vector<Point::Answer> Point::Handle(const Frame& f, bool dataChecksumOk) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Addressed(f)) return {};

  // Faults that match this request, each using up one of its times.
  const int key = f.kind == kind::Identify ? IdentifyRequests : f.Id();
  std::vector<Fault> active;
  for (auto it = faults_.begin(); it != faults_.end();) {
    if ((it->variable == AnyRequest || it->variable == key) && it->times != 0) {
      active.push_back(*it);
      if (it->times > 0 && --it->times == 0) {
        it = faults_.erase(it);
        continue;
      }
    }
    ++it;
  }
  auto find = [&active](FaultKind k) -> const Fault* {
    for (const auto& a : active)
      if (a.kind == k) return &a;
    return nullptr;
  };

  // A lost or refused request changes nothing on the point.
  if (find(FaultKind::NoAnswer)) return {};
  Frame answer;
  if (const Fault* e = find(FaultKind::ErrorAnswer)) {
    answer = ErrorFrame(f, std::uint8_t(e->value));
  } else {
    answer = Process(f, dataChecksumOk);
  }
  if (const Fault* w = find(FaultKind::WrongType)) answer.type = std::uint8_t(w->value);
  if (find(FaultKind::NoDataBlock)) answer.data.clear();

  Bytes bytes = Encode(answer);
  const std::size_t length = answer.data.size();
  if (const Fault* l = find(FaultKind::LengthTooLarge)) {
    const std::size_t announced = length + std::size_t(l->value > 0 ? l->value : 4);
    bytes[8] = std::uint8_t(announced);
    bytes[9] = std::uint8_t(announced >> 8);
    const Bytes sum = U32(Checksum(bytes.data(), 10));
    std::copy(sum.begin(), sum.end(), bytes.begin() + 10);
  }
  if (find(FaultKind::BadHeaderChecksum)) bytes[10] ^= 0xFF;
  if (find(FaultKind::BadDataChecksum) && length > 0) bytes.back() ^= 0xFF;
  if (const Fault* t = find(FaultKind::TruncatedHeader)) {
    bytes.resize(std::min<std::size_t>(HeaderSize - 1, std::size_t(t->value > 0 ? t->value : 7)));
  } else if (const Fault* d = find(FaultKind::TruncatedData)) {
    if (length > 0) {
      const std::size_t block = length + ChecksumSize;
      const std::size_t keep = d->value > 0 ? std::size_t(d->value) : 0;
      bytes.resize(HeaderSize + std::min(keep, block - 1));
    }
  }

  Answer out;
  out.bytes = std::move(bytes);
  if (const Fault* d = find(FaultKind::Delay)) out.delayMs = d->value;
  std::vector<Answer> answers{out};
  if (const Fault* x = find(FaultKind::ExtraIdentifyAnswers)) {
    if (f.kind == kind::Identify) {
      out.delayMs = 0;
      for (int i = 0; i < x->value; ++i) answers.push_back(out);
    }
  }
  return answers;
}

}  // namespace pointsim
