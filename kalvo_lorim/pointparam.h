#pragma once
// What the full parameter read of a point yields: the fixed device variables,
// the dynamic parameters and the status flag descriptions.

#include <cstdint>
#include <map>
#include <vector>

#include <boost/any.hpp>
#include <wx/string.h>

#include "kalvo_lorim/event.h"
#include "kalvo_lorim/types.h"

// One dynamic parameter of a point. Its value kind follows the type code:
// 1 and 17 unsigned char, 3 and 29 wxString, 13 kalvo_lorim::LSingle,
// 25 float, 33 kalvo_lorim::Address. Types 3, 13 and 17 have no text form.
class PointParam {
 public:
  PointParam() = default;
  PointParam(std::uint8_t id, int type, const wxString& name, const boost::any& value);

  std::uint8_t GetId() const { return id_; }
  void SetId(std::uint8_t id) { id_ = id; }
  int GetType() const { return type_; }
  void SetType(int type) { type_ = type; }
  wxString GetName() const { return name_; }
  void SetName(const wxString& name) { name_ = name; }
  boost::any GetValue() const { return value_; }
  void SetValue(const boost::any& value) { value_ = value; }

  // Throw kalvo_lorim::Exception code 2 for a type without text form, and
  // boost::bad_any_cast for a value of the wrong kind.
  wxString ValueText(int precision) const;
  wxString ExactValueText() const;
  // Converts as the device expects; a type without text form stays unchanged.
  void SetValueFromText(const wxString& text);
  wxString Label() const;

 private:
  wxString Text(bool exact, int precision) const;

  std::uint8_t id_ = 0;
  int type_ = 0;
  wxString name_;
  boost::any value_;
};

// Status flag descriptions of a point: code n describes status bit n - 1.
class StatusFlagTable {
 public:
  enum BuiltInSelector { BuiltIn };

  StatusFlagTable() = default;
  // Copies every entry; the count is the number of entries, at most 16.
  explicit StatusFlagTable(const std::map<int, EventLogLine>& entries);
  // The table of 11 used when a point's own table cannot be read.
  explicit StatusFlagTable(BuiltInSelector);

  wxString Text(int code) const;
  StateColours Colours(int code) const;
  int Count() const { return count_; }
  static int MaxCount() { return 16; }
  void Clear();

  // Level of a flag whose colour could not be read from the point.
  static int DefaultLevel(int code);

 private:
  std::map<int, EventLogLine> entries_;
  int count_ = 0;
};

// Display names of the device language codes (not translated).
class DeviceLanguageNames {
 public:
  DeviceLanguageNames();
  ~DeviceLanguageNames() {}

  wxString Name(int code) const;
};

namespace kalvo_lorim {

// Also reachable through the library's namespace.
using ::DeviceLanguageNames;
using ::PointParam;
using ::StatusFlagTable;

class PointParams {
 public:
  PointParams();

  // Back to the values before any read.
  void Reset();

  int GetCurrentAlgorithm() const { return currentAlgorithm_; }
  wxString GetDeviceName() const { return deviceName_; }
  wxString GetUnit() const { return unit_; }
  wxString GetVariable18Text() const { return variable18Text_; }
  wxString GetFirmwareVersion() const { return firmwareVersion_; }
  std::uint8_t GetDeviceCode() const { return deviceCode_; }
  std::size_t ParamCount() const { return params_.size(); }
  // Index below ParamCount; std::out_of_range otherwise.
  const PointParam& GetParam(std::size_t index) const { return params_.at(index); }
  PointParam GetParamCopy(std::size_t index) const { return params_.at(index); }
  Address GetAddress() const { return address_; }
  DateTime GetConfigurationDate() const { return configurationDate_; }
  DateTime GetAssemblyDate() const { return assemblyDate_; }
  DateTime GetDeviceDateTime() const { return deviceDateTime_; }
  std::uint8_t GetVolumeLevel() const { return volumeLevel_; }
  wxString GetNotReadyText() const { return notReadyText_; }
  StatusFlagTable GetStatusFlags() const { return statusFlags_; }
  std::uint16_t GetLanguage() const { return language_; }
  wxString GetFactoryNumber() const { return factoryNumber_; }
  std::vector<std::uint16_t> GetLanguages() const { return languages_; }

  void SetCurrentAlgorithm(int number) { currentAlgorithm_ = number; }
  void SetDeviceName(const wxString& name) { deviceName_ = name; }
  void SetUnit(const wxString& unit) { unit_ = unit; }
  void SetVariable18Text(const wxString& text) { variable18Text_ = text; }
  void SetFirmwareVersion(const wxString& version) { firmwareVersion_ = version; }
  void SetDeviceCode(std::uint8_t code) { deviceCode_ = code; }
  void AddParam(const PointParam& param) { params_.push_back(param); }
  void SetAddress(const Address& address) { address_ = address; }
  void SetConfigurationDate(const DateTime& date) { configurationDate_ = date; }
  void SetAssemblyDate(const DateTime& date) { assemblyDate_ = date; }
  void SetDeviceDateTime(const DateTime& date) { deviceDateTime_ = date; }
  void SetVolumeLevel(std::uint8_t level) { volumeLevel_ = level; }
  void SetNotReadyText(const wxString& text) { notReadyText_ = text; }
  void SetStatusFlags(const StatusFlagTable& flags) { statusFlags_ = flags; }
  void SetLanguage(std::uint16_t language) { language_ = language; }
  void SetFactoryNumber(const wxString& number) { factoryNumber_ = number; }
  void SetLanguages(const std::uint16_t* codes, std::size_t count);

  // Index at or past ParamCount: nothing happens.
  void SetParamFromText(std::size_t index, const wxString& text);

 private:
  int currentAlgorithm_;
  wxString deviceName_;
  wxString unit_;
  wxString variable18Text_;
  wxString firmwareVersion_;
  std::uint8_t deviceCode_;
  std::vector<PointParam> params_;
  Address address_;
  DateTime configurationDate_;
  DateTime assemblyDate_;
  DateTime deviceDateTime_;
  std::uint8_t volumeLevel_;
  wxString notReadyText_;
  StatusFlagTable statusFlags_;
  std::uint16_t language_;
  wxString factoryNumber_;
  std::vector<std::uint16_t> languages_;
};

}  // namespace kalvo_lorim
