#define wxTRANSLATION_DOMAIN "security"
#include "security/rights.h"

#include <mutex>

#include <wx/intl.h>

namespace security {

namespace {

// Guards CurrentPointAccess against a replacement during a rights check.
std::mutex& CurrentPointAccessMutex() {
  static std::mutex m;
  return m;
}

// Device variables asked by the fixed checks.
constexpr std::uint8_t CurrentAlgorithmVariable = 21;
constexpr std::uint8_t VolumeLevelVariable = 14;
constexpr std::uint8_t DeviceLanguageVariable = 6;
constexpr std::uint8_t DeviceDateVariable = 31;

}  // namespace

int AllRights() { return 0x7F; }

UserRecord::UserRecord(const wxString& name, const wxString& password, std::int32_t rights)
    : name_(name), password_(password), rights_(rights) {}
UserRecord::UserRecord(const UserRecord& other) = default;
UserRecord& UserRecord::operator=(const UserRecord& other) = default;
UserRecord::~UserRecord() = default;

wxString UserRecord::RightsText() const {
  wxString text;
  if (HasViewParams()) text += _("View params; ");
  if (HasEditParams()) text += _("Edit params; ");
  if (HasEditUsers()) text += _("Edit users; ");
  if (HasEditPointSecurityParams()) text += _("Edit point security params; ");
  if (HasPowerOnOffMelvar()) text += _("Power On/Off Melvar; ");
  if (HasRestartMeasure()) text += _("Restart measure; ");
  if (HasEditMelvarParams()) text += _("Edit Melvar params; ");
  return text;
}

const UserRecord RootUser(wxS("root"), wxS("73964"), AllRights());

PointAccess::PointAccess() : firmwareVersion_(wxS("0.0")), deviceCode_(0) {}
PointAccess::PointAccess(const PointAccess& other) = default;
PointAccess& PointAccess::operator=(const PointAccess& other) = default;
PointAccess::~PointAccess() = default;

bool PointAccess::SetAddress(const wxString& text) {
  return kalvo_lorim::ParseAddress(text, address_);
}

wxString PointAccess::AddressText() const { return address_.PaddedText(); }

wxString PointAccess::DeviceCodeText() const { return wxString::Format("%d", deviceCode_); }

bool PointAccess::Allows(std::uint8_t id) const {
  const auto it = accessMap_.find(id);
  return it != accessMap_.end() && it->second;
}

bool WorkInSystem = false;
UserRecord CurrentUser;
std::vector<UserRecord> UserList;
std::vector<PointAccess> PointAccessList;
PointAccess CurrentPointAccess;
std::vector<PointAccess> ImportedPointAccessList;

void SetCurrentPointAccess(const PointAccess& record) {
  std::lock_guard<std::mutex> lock(CurrentPointAccessMutex());
  CurrentPointAccess = record;
}

PointAccess GetCurrentPointAccess() {
  std::lock_guard<std::mutex> lock(CurrentPointAccessMutex());
  return CurrentPointAccess;
}

void SetWorkInSystem(bool on) { WorkInSystem = on; }

bool HasRight(std::uint8_t id) {
  if (!WorkInSystem) return true;
  if (CurrentUser.HasAllRights()) return true;
  if (!CurrentUser.HasEditParams()) return false;
  std::lock_guard<std::mutex> lock(CurrentPointAccessMutex());
  return CurrentPointAccess.Allows(id);
}

bool CanViewParams() { return CurrentUser.HasViewParams() || !WorkInSystem; }
bool CanRestartMeasure() { return CurrentUser.HasRestartMeasure() || !WorkInSystem; }
bool CanSetCurrentAlgorithm() { return HasRight(CurrentAlgorithmVariable); }
bool CanSetVolumeLevel() { return HasRight(VolumeLevelVariable); }
bool CanSetDeviceLanguage() { return HasRight(DeviceLanguageVariable); }
bool CanSetDeviceDate() { return HasRight(DeviceDateVariable); }

}  // namespace security
