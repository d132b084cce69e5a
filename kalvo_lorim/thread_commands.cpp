// The device thread's command table: InitCommandTable and the handler of every command.
#include "kalvo_lorim/thread.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <wx/datetime.h>

#include "kalvo_lorim/event.h"
#include "kalvo_lorim/measure.h"
#include "kalvo_lorim/pointparam.h"
#include "kalvo_lorim/thread_internal.h"
#include "kalvo_lorim/variables.h"

namespace kalvo_lorim {

void EventCmdTarget::OnPointMovedUp(Point*) {}
void EventCmdTarget::OnPointMovedDown(Point*) {}

namespace {

constexpr int TrueValueParam = 30;

PointParams ParamsOf(const Point* point) {
  PointParams params;
  point->GetParams(params);
  return params;
}

int ClampToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

double LeadingNumber(const wxString& text) {
  const std::string s = text.ToStdString();
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  const std::size_t begin = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  std::size_t end = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const std::size_t expBegin = j;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
    if (j > expBegin) end = j;
  }
  double value = 0.0;
  wxString(s.substr(begin, end - begin)).ToCDouble(&value);
  return value;
}

void Thread::InitCommandTable() {
  table_[CommandKind::None] = nullptr;
  table_[CommandKind::Plug] = &Thread::Plug;
  table_[CommandKind::Unplug] = &Thread::Unplug;
  table_[CommandKind::RestartMeasures] = &Thread::RestartMeasures;
  table_[CommandKind::ReadParams] = &Thread::ReadParams;
  table_[CommandKind::ReadAlgorithms] = &Thread::ReadAlgorithms;
  table_[CommandKind::WriteParams] = &Thread::WriteParams;
  table_[CommandKind::ReadStatus] = &Thread::ReadStatus;
  table_[CommandKind::ReadCurrentMeasure] = &Thread::ReadCurrentMeasure;
  table_[CommandKind::ReadCurrentAlgorithmMeasure] = &Thread::ReadCurrentAlgorithmMeasure;
  for (int a = 0; a < 16; ++a) table_[CommandKind::ReadAlgorithmMeasure + a] = &Thread::ReadAlgorithmMeasure;
  table_[CommandKind::SetCurrentAlgorithm] = &Thread::SetCurrentAlgorithm;
  table_[CommandKind::WriteAddress] = &Thread::WriteAddress;
  table_[CommandKind::WriteDates] = &Thread::WriteDates;
  table_[CommandKind::WriteDeviceDate] = &Thread::WriteDeviceDate;
  table_[CommandKind::ReadMeasureNotReady] = &Thread::ReadCurrentMeasure;
  table_[CommandKind::ReadMeasureSpare] = &Thread::ReadCurrentMeasure;
  table_[CommandKind::MoveUp] = &Thread::MoveUp;
  table_[CommandKind::MoveDown] = &Thread::MoveDown;
  table_[CommandKind::WriteVolumeLevel] = &Thread::WriteVolumeLevel;
  table_[CommandKind::WriteDeviceLanguage] = &Thread::WriteDeviceLanguage;
  table_[CommandKind::WriteFactoryNumber] = &Thread::WriteFactoryNumber;
  table_[CommandKind::ReadInstantValue] = &Thread::ReadInstantValue;
  table_[CommandKind::WriteDataBlock] = &Thread::WriteDataBlock;
  table_[CommandKind::GetTrueValue] = &Thread::Nothing;
  table_[CommandKind::ClearMemory] = &Thread::ClearMemory;
  table_[CommandKind::PauseMeasure] = &Thread::PauseMeasure;
  table_[CommandKind::CompleteSeries] = &Thread::CompleteSeries;
  table_[CommandKind::ContinueMeasure] = &Thread::ContinueMeasure;
  table_[CommandKind::StartSeries] = &Thread::StartSeries;
  table_[CommandKind::ReadQuorvanData] = &Thread::ReadQuorvanData;
  table_[CommandKind::ReadTempRecord] = &Thread::ReadTempRecord;
  table_[CommandKind::Spare47] = &Thread::Nothing;
  table_[CommandKind::ReadRecordsCount] = &Thread::ReadRecordsCount;
  table_[CommandKind::ReadTrueValue] = &Thread::ReadTrueValue;
}

void Thread::Plug(Point* point, const boost::any&) { PostEvent(EventKind::Plugged, point, NoData()); }

void Thread::Unplug(Point* point, const boost::any&) {
  try {
    PostEvent(EventKind::Unplugged, point, NoData());
  } catch (...) {
  }
  points_->MarkForRemoval(point);
}

void Thread::RestartMeasures(Point* point, const boost::any& argument) {
  const MeasuringAlgorithm algorithm = boost::any_cast<MeasuringAlgorithm>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.RestartMeasures(address, algorithm); });
  PostEvent(EventKind::MeasuresRestarted, point, algorithm);
}

void Thread::ReadParams(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  PointParams params;
  OnBus([&] { protocol_.ReadPointParams(address, params); });
  PostEvent(EventKind::ParamsRead, point, params);
}

void Thread::ReadAlgorithms(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  std::vector<Algorithm> algorithms;
  OnBus([&] { protocol_.ReadAlgorithms(address, algorithms); });
  PostEvent(EventKind::AlgorithmsRead, point, algorithms);
}

void Thread::WriteParams(Point* point, const boost::any& argument) {
  const auto& texts = boost::any_cast<const std::vector<wxString>&>(argument);
  const Address address = point->GetAddress();
  PointParams params = ParamsOf(point);
  for (std::size_t i = 0; i < texts.size(); ++i) params.SetParamFromText(i, texts[i]);
  OnBus([&] { protocol_.WriteParams(address, params); });
  PostEvent(EventKind::ParamsSet, point, NoData());
}

Measure Thread::MeasureWithStatus(Point* point, std::uint16_t word) const {
  const Measure stored = point->GetMeasure();
  return Measure(stored.GetValue(), stored.GetUnit(), stored.GetTime(), stored.GetUncertainty(),
                 stored.GetAlgorithmNumber(), word);
}

void Thread::PostNotReady(Point* point, Measure measure) {
  const Address address = point->GetAddress();
  std::uint32_t number = 0;
  OnBus([&] { protocol_.ReadNotReadyNumber(address, number); });
  measure.SetNotReady(ParamsOf(point).GetNotReadyText(), static_cast<int>(number));
  PostEvent(EventKind::MeasureNotReady, point, measure);
}

void Thread::ReadChanged(Point* point) {
  const Address address = point->GetAddress();
  std::uint8_t ids[ChangedIdCapacity] = {};
  std::uint16_t count = 0;
  OnBus([&] { protocol_.ReadChangedIds(address, ids, ChangedIdCapacity, count); });
  count = static_cast<std::uint16_t>(std::min<std::size_t>(count, ChangedIdCapacity));
  if (std::find(ids, ids + count, variable::kDeviceCode) != ids + count) {
    PointParams params;
    OnBus([&] { protocol_.ReadPointParams(address, params); });
    PostEvent(EventKind::ParamsRead, point, params);
  } else {
    std::map<unsigned char, wxString> values;
    OnBus([&] { protocol_.ReadChangedParams(address, ids, count, values); });
    PostEvent(EventKind::ParamsChanged, point, values);
  }
}

void Thread::ReadStatus(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  std::uint16_t word = 0;
  OnBus([&] { protocol_.ReadStatusWord(address, word); });
  PostEvent(EventKind::StatusRead, point, Status(word));
  const Status status(word);
  if (status.IsBlockNotReady()) {
    PostNotReady(point, MeasureWithStatus(point, word));
  } else if (status.AreParamsChanged()) {
    ReadChanged(point);
  } else if (status.IsThresholdExceeded()) {
    PostEvent(EventKind::ThresholdExceeded, point, MeasureWithStatus(point, word));
  } else if (status.IsThresholdReduced()) {
    PostEvent(EventKind::ThresholdReduced, point, MeasureWithStatus(point, word));
  } else if (status.IsPrethresholdExceeded()) {
    PostEvent(EventKind::PrethresholdExceeded, point, MeasureWithStatus(point, word));
  }
}

void Thread::ReadCurrentMeasure(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  float value = -1.0f;
  std::uint32_t time = 0;
  std::uint8_t uncertainty = 255;
  std::uint16_t word = 0;
  OnBus([&] { protocol_.ReadCurrentMeasure(address, value, time, uncertainty, word); });
  const Measure measure(value, point->GetUnit(), time, uncertainty, 0, word);
  const Status status(word);
  if (status.IsBlockNotReady()) {
    PostNotReady(point, measure);
  } else if (status.AreParamsChanged()) {
    ReadChanged(point);
  } else if (status.IsThresholdExceeded()) {
    PostEvent(EventKind::ThresholdExceeded, point, measure);
  } else if (status.IsThresholdReduced()) {
    PostEvent(EventKind::ThresholdReduced, point, measure);
  } else if (status.IsPrethresholdExceeded()) {
    PostEvent(EventKind::PrethresholdExceeded, point, measure);
  } else {
    PostEvent(EventKind::CurrentMeasure, point, measure);
  }
}

void Thread::ReadCurrentAlgorithmMeasure(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  float value = -1.0f;
  std::uint32_t time = 0xFFFFFFFFu;
  std::uint8_t uncertainty = 255;
  OnBus([&] { protocol_.ReadCurrentAlgorithmMeasure(address, value, time, uncertainty); });
  PostEvent(EventKind::AlgorithmMeasure, point, Measure(value, point->GetUnit(), time, uncertainty, 0, 0));
}

void Thread::ReadAlgorithmMeasure(Point* point, const boost::any& argument) {
  const int a = boost::any_cast<int>(argument);
  const Address address = point->GetAddress();
  float value = -1.0f;
  std::uint32_t time = 0xFFFFFFFFu;
  std::uint8_t uncertainty = 255;
  OnBus([&] { protocol_.ReadMeasure(address, a, value, time, uncertainty); });
  PostEvent(EventKind::AlgorithmMeasure, point, Measure(value, point->GetUnit(), time, uncertainty, a + 1, 0));
}

void Thread::SetCurrentAlgorithm(Point* point, const boost::any& argument) {
  const MeasuringAlgorithm algorithm = boost::any_cast<MeasuringAlgorithm>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.SetCurrentAlgorithm(address, algorithm); });
  PostEvent(EventKind::CurrentAlgorithmChanged, point, algorithm);
  PointParams params = ParamsOf(point);
  OnBus([&] { protocol_.ReadUnit(address, params); });
  point->SetParams(params);
}

void Thread::WriteAddress(Point* point, const boost::any& argument) {
  const Address newAddress = boost::any_cast<Address>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.WriteAddress(address, newAddress); });
  PointParams params = ParamsOf(point);
  params.SetAddress(newAddress);
  point->SetParams(params);
  PostEvent(EventKind::AddressChanged, point, newAddress);
}

void Thread::WriteDates(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  const DateTime now(wxDateTime::UNow());
  DateTime assembly;
  OnBus([&] {
    protocol_.WriteConfigurationDate(address, now);
    protocol_.WriteAssemblyDate(address, now);
    protocol_.ReadAssemblyDate(address, assembly);
  });
  PointParams params = ParamsOf(point);
  params.SetConfigurationDate(now);
  params.SetAssemblyDate(assembly);
  point->SetParams(params);
  PostEvent(EventKind::DatesChanged, point, NoData());
}

void Thread::WriteDeviceDate(Point* point, const boost::any& argument) {
  const DateTime date = boost::any_cast<DateTime>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.WriteDeviceDateTime(address, date); });
  PointParams params = ParamsOf(point);
  params.SetDeviceDateTime(date);
  point->SetParams(params);
  PostEvent(EventKind::DeviceDateChanged, point, date);
}

int Thread::FindIndex(const Point* point) const {
  for (unsigned i = 0; i < points_->Size(); ++i) {
    if (points_->At(i) == point) return static_cast<int>(i);
  }
  return -1;
}

void Thread::MoveUp(Point* point, const boost::any&) {
  const int index = FindIndex(point);
  if (index <= 0) return;
  points_->MoveUp(static_cast<unsigned>(index));
  target_->OnPointMovedUp(point);
}

void Thread::MoveDown(Point* point, const boost::any&) {
  const int index = FindIndex(point);
  if (index < 0 || static_cast<unsigned>(index) + 1 >= points_->Size()) return;
  points_->MoveDown(static_cast<unsigned>(index));
  target_->OnPointMovedDown(point);
}

void Thread::WriteVolumeLevel(Point* point, const boost::any& argument) {
  const unsigned char level = boost::any_cast<unsigned char>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.WriteVolumeLevel(address, level); });
  PointParams params = ParamsOf(point);
  params.SetVolumeLevel(level);
  point->SetParams(params);
  PostEvent(EventKind::VolumeLevelChanged, point, NoData());
}

void Thread::WriteDeviceLanguage(Point* point, const boost::any& argument) {
  const unsigned short language = boost::any_cast<unsigned short>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.WriteDeviceLanguage(address, language); });
  PointParams params = ParamsOf(point);
  params.SetLanguage(language);
  point->SetParams(params);
  PostEvent(EventKind::DeviceLanguageChanged, point, NoData());
}

void Thread::WriteFactoryNumber(Point* point, const boost::any& argument) {
  const wxString number = boost::any_cast<wxString>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.WriteFactoryNumber(address, number); });
  PointParams params = ParamsOf(point);
  params.SetFactoryNumber(number);
  point->SetParams(params);
  PostEvent(EventKind::FactoryNumberChanged, point, NoData());
}

void Thread::ReadInstantValue(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  Point::InstantValue value{};
  OnBus([&] { protocol_.ReadInstantValue(address, value.first, value.second, value.integer); });
  PostEvent(EventKind::InstantValueRead, point, value);
}

void Thread::WriteDataBlock(Point* point, const boost::any& argument) {
  const DataBlock block = boost::any_cast<DataBlock>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.WriteBlock(address, 248, block.data()); });
  PostEvent(EventKind::DataWritten, point, NoData());
}

void Thread::Nothing(Point*, const boost::any&) {}

void Thread::ClearMemory(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.ClearMemory(address); });
  PostEvent(EventKind::MemoryCleared, point, NoData());
}

void Thread::PauseMeasure(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.PauseMeasure(address); });
  PostEvent(EventKind::MeasurePaused, point, NoData());
}

void Thread::CompleteSeries(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.CompleteSeries(address); });
  PostEvent(EventKind::SeriesCompleted, point, NoData());
}

void Thread::ContinueMeasure(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.ContinueMeasure(address); });
  PostEvent(EventKind::MeasureContinued, point, NoData());
}

void Thread::StartSeries(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.StartSeries(address); });
  PostEvent(EventKind::SeriesStarted, point, NoData());
}

double Thread::TrueValue(Point* point) {
  const Address address = point->GetAddress();
  PointParam param(0, 1, wxString(), NoData());
  OnBus([&] { protocol_.ReadParamValue(address, TrueValueParam, param); });
  return LeadingNumber(param.ValueText(3));
}

void Thread::ReadQuorvanData(Point* point, const boost::any&) {
  const Measure measure = boost::any_cast<Measure>(point->GetLastEvent().GetData());
  const std::uint16_t word = measure.GetStatus().GetWord();
  const Address address = point->GetAddress();
  Point::QuorvanData data;
  data.bit12 = (word & 0x1000) ? 1 : 0;
  data.bit11 = (word & 0x0800) ? 1 : 0;
  if (data.bit11 == 1) OnBus([&] { protocol_.RecordToText(address, data.record); });
  data.time = static_cast<int>(measure.GetTime());
  data.parameter30 = ClampToInt(TrueValue(point));
  PostEvent(EventKind::QuorvanDataRead, point, data);
}

void Thread::ReadTempRecord(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  wxString line;
  OnBus([&] { protocol_.RecordToText(address, line); });
  PostEvent(EventKind::TempRecordRead, point, line);
}

void Thread::ReadRecordsCount(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  std::uint16_t count = 0;
  OnBus([&] { protocol_.ReadRecordsCount(address, count); });
  PostEvent(EventKind::RecordsCountRead, point, static_cast<unsigned short>(count));
}

void Thread::ReadTrueValue(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  Point::InstantValue value{};
  OnBus([&] { protocol_.ReadInstantValue(address, value.first, value.second, value.integer); });
  point->SetTrueValue(static_cast<float>(TrueValue(point)));
  PostEvent(EventKind::InstantValueRead, point, value);
}

}  // namespace kalvo_lorim
