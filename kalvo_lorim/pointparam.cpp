#include "kalvo_lorim/pointparam.h"

#include <wx/intl.h>

#include "kalvo_lorim/error.h"
#include "kalvo_lorim/numbers.h"

using kalvo_lorim::Address;

PointParam::PointParam(std::uint8_t id, int type, const wxString& name, const boost::any& value)
    : id_(id), type_(type), name_(name), value_(value) {}

wxString PointParam::Text(bool exact, int precision) const {
  switch (type_) {
    case 1: return wxString::Format("%d", boost::any_cast<unsigned char>(value_));
    case 25: {
      const double v = boost::any_cast<float>(value_);
      return exact ? kalvo_lorim::FormatNumber("%.32f", v) : kalvo_lorim::FormatNumber("%.*g", precision, v);
    }
    case 29: return boost::any_cast<wxString>(value_);
    case 33: return boost::any_cast<Address>(value_).Text();
    default: KALVO_THROW(kalvo_lorim::Error::UnsupportedDataFormat);
  }
}

wxString PointParam::ValueText(int precision) const { return Text(false, precision); }

wxString PointParam::ExactValueText() const { return Text(true, 0); }

void PointParam::SetValueFromText(const wxString& text) {
  switch (type_) {
    case 1: {
      long n = 0;
      text.ToLong(&n, 10);  // a leading number counts even when text follows
      value_ = static_cast<unsigned char>(n & 0xFF);
      break;
    }
    case 25: {
      double d = 0;
      text.ToCDouble(&d);
      value_ = static_cast<float>(d);
      break;
    }
    case 29: value_ = text; break;
    case 33: {
      Address address;
      if (kalvo_lorim::ParseAddress(text, address)) value_ = address;
      break;
    }
    default: break;
  }
}

wxString PointParam::Label() const { return name_ + ": " + ValueText(3); }

StatusFlagTable::StatusFlagTable(const std::map<int, EventLogLine>& entries)
    : entries_(entries),
      count_(entries.size() > static_cast<std::size_t>(MaxCount()) ? MaxCount()
                                                                    : static_cast<int>(entries.size())) {}

StatusFlagTable::StatusFlagTable(BuiltInSelector) : count_(11) {
  entries_[1] = EventLogLine(_("Shortcut circuit"), 1);
  entries_[2] = EventLogLine(_("Block is absence"), 1);
  entries_[3] = EventLogLine(_("Block is broken"), 1);
  entries_[4] = EventLogLine(_("Memory is broken"), 1);
  entries_[5] = EventLogLine(_("Unknown block type"), 1);
  entries_[6] = EventLogLine(_("Threshold is exceeded"), 2);
  entries_[7] = EventLogLine(_("Preliminary threshold is exceeded"), 2);
  entries_[8] = EventLogLine(_("Threshold is reduced"), 2);
  entries_[9] = EventLogLine(_("Block sensitivity is exceeded"), 2);
  entries_[10] = EventLogLine(_("Block isn't ready"), 0);
  entries_[11] = EventLogLine(_("Params have been changed"), 0);
}

wxString StatusFlagTable::Text(int code) const {
  const auto it = entries_.find(code);
  return it == entries_.end() ? wxString() : it->second.GetText();
}

StateColours StatusFlagTable::Colours(int code) const {
  const auto it = entries_.find(code);
  return it == entries_.end() ? DefaultStateColours : it->second.GetColours();
}

void StatusFlagTable::Clear() {
  entries_.clear();
  count_ = 0;
}

int StatusFlagTable::DefaultLevel(int code) {
  if (code <= 5) return 1;
  if (code <= 9) return 2;
  return 0;
}

namespace {

// Filled once, thread-safely, by the first user.
const std::map<int, wxString>& LanguageNameMap() {
  static const std::map<int, wxString> names = {
      {9, wxString::FromUTF8("English")},
      {25, wxString::FromUTF8("Русский")},
      {34, wxString::FromUTF8("Українська")},
  };
  return names;
}

}  // namespace

DeviceLanguageNames::DeviceLanguageNames() { LanguageNameMap(); }

wxString DeviceLanguageNames::Name(int code) const {
  const auto& names = LanguageNameMap();
  const auto it = names.find(code);
  return it == names.end() ? _("Unknown language") : it->second;
}

namespace kalvo_lorim {

PointParams::PointParams() { Reset(); }

void PointParams::Reset() {
  params_.clear();
  statusFlags_.Clear();
  languages_.clear();
  currentAlgorithm_ = -1;
  deviceName_.clear();
  unit_.clear();
  variable18Text_.clear();
  firmwareVersion_.clear();
  deviceCode_ = 255;
  address_ = NoAddress();
  configurationDate_ = DateTime::NoInformation();
  assemblyDate_ = DateTime::NoInformation();
  deviceDateTime_ = DateTime::NoInformation();
  volumeLevel_ = 255;
  notReadyText_.clear();
  language_ = 255;
  factoryNumber_ = UnknownVariableText;
  languages_.push_back(255);
}

void PointParams::SetLanguages(const std::uint16_t* codes, std::size_t count) {
  languages_.assign(count, 0);
  if (codes == nullptr) return;
  for (std::size_t i = 0; i < count; ++i) languages_[i] = codes[i];
}

void PointParams::SetParamFromText(std::size_t index, const wxString& text) {
  if (index < params_.size()) params_[index].SetValueFromText(text);
}

}  // namespace kalvo_lorim
