#pragma once
// Users, their rights, the configured points and the rights checks that the
// panels ask before a device setting may be changed.

#include <cstdint>
#include <map>
#include <vector>

#include <wx/string.h>

#include "kalvo_lorim/types.h"

namespace security {

// One bit of UserRecord's rights value each.
enum class UserRight : int {
  ViewParams = 0x01,
  EditParams = 0x02,
  EditUsers = 0x04,
  EditPointSecurityParams = 0x08,
  PowerOnOffMelvar = 0x10,
  RestartMeasure = 0x20,
  EditMelvarParams = 0x40,
};

// The seven right bits together (bits 7 and above carry no right).
int AllRights();

class UserRecord {
 public:
  UserRecord(const wxString& name = wxString(), const wxString& password = wxString(),
             std::int32_t rights = 0);
  UserRecord(const UserRecord& other);
  UserRecord& operator=(const UserRecord& other);
  ~UserRecord();

  wxString GetName() const { return name_; }
  wxString GetPassword() const { return password_; }
  std::int32_t GetRights() const { return rights_; }
  void SetName(const wxString& name) { name_ = name; }
  void SetPassword(const wxString& password) { password_ = password; }
  void SetRights(std::int32_t rights) { rights_ = rights; }

  bool Has(UserRight right) const { return (rights_ & static_cast<int>(right)) != 0; }
  bool HasViewParams() const { return Has(UserRight::ViewParams); }
  bool HasEditParams() const { return Has(UserRight::EditParams); }
  bool HasEditUsers() const { return Has(UserRight::EditUsers); }
  bool HasEditPointSecurityParams() const { return Has(UserRight::EditPointSecurityParams); }
  bool HasPowerOnOffMelvar() const { return Has(UserRight::PowerOnOffMelvar); }
  bool HasRestartMeasure() const { return Has(UserRight::RestartMeasure); }
  bool HasEditMelvarParams() const { return Has(UserRight::EditMelvarParams); }
  bool HasAllRights() const { return (rights_ & AllRights()) == AllRights(); }

  // Translated texts of the held rights in bit order, each ending in "; ".
  wxString RightsText() const;

 private:
  wxString name_;
  wxString password_;
  std::int32_t rights_;
};

// Built-in user record; nothing in the library consults it.
extern const UserRecord RootUser;

// Device variable id -> may a user with EditParams write it.
using AccessMap = std::map<std::uint8_t, bool>;

class PointAccess {
 public:
  PointAccess();
  PointAccess(const PointAccess& other);
  PointAccess& operator=(const PointAccess& other);
  ~PointAccess();

  kalvo_lorim::Address GetAddress() const { return address_; }
  // False, and the address unchanged, when the text is no dotted address.
  bool SetAddress(const wxString& text);
  // "%03d.%03d.%03d"
  wxString AddressText() const;

  wxString GetName() const { return name_; }
  void SetName(const wxString& name) { name_ = name; }
  wxString GetNumber() const { return number_; }
  void SetNumber(const wxString& number) { number_ = number; }
  wxString GetFirmwareVersion() const { return firmwareVersion_; }
  void SetFirmwareVersion(const wxString& version) { firmwareVersion_ = version; }
  std::uint8_t GetDeviceCode() const { return deviceCode_; }
  void SetDeviceCode(std::uint8_t code) { deviceCode_ = code; }
  wxString DeviceCodeText() const;
  AccessMap GetAccessMap() const { return accessMap_; }
  void SetAccessMap(const AccessMap& map) { accessMap_ = map; }

  // True when the map holds the id with the value true; never adds the id.
  bool Allows(std::uint8_t id) const;

 private:
  kalvo_lorim::Address address_;
  wxString name_;
  wxString number_;
  wxString firmwareVersion_;
  std::uint8_t deviceCode_;
  AccessMap accessMap_;
};

// Global state, written during start-up.
extern bool WorkInSystem;
extern UserRecord CurrentUser;
extern std::vector<UserRecord> UserList;
extern std::vector<PointAccess> PointAccessList;
// Read freely on the window thread; replace it only through
// SetCurrentPointAccess, since rights checks may run on another thread.
extern PointAccess CurrentPointAccess;
extern std::vector<PointAccess> ImportedPointAccessList;

// Replaces CurrentPointAccess in one step under the lock that HasRight takes.
void SetCurrentPointAccess(const PointAccess& record);
// A copy of CurrentPointAccess taken under that lock.
PointAccess GetCurrentPointAccess();

void SetWorkInSystem(bool on);

// May the device variable with this id be written.
bool HasRight(std::uint8_t id);
bool CanViewParams();
bool CanRestartMeasure();
bool CanSetCurrentAlgorithm();
bool CanSetVolumeLevel();
bool CanSetDeviceLanguage();
bool CanSetDeviceDate();

}  // namespace security
