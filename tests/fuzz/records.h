#pragma once
// Field-wise comparison of security records, for the round-trip checks.

#include <wx/string.h>

#include "security/rights.h"

namespace fuzzsupport {

inline bool SameUser(const security::UserRecord& x, const security::UserRecord& y) {
  return x.GetName() == y.GetName() && x.GetPassword() == y.GetPassword() &&
         x.GetRights() == y.GetRights();
}

inline bool SamePoint(const security::PointAccess& x, const security::PointAccess& y) {
  return x.GetAddress() == y.GetAddress() && x.GetName() == y.GetName() &&
         x.GetNumber() == y.GetNumber() && x.GetDeviceCode() == y.GetDeviceCode() &&
         x.GetFirmwareVersion() == y.GetFirmwareVersion() && x.GetAccessMap() == y.GetAccessMap();
}

inline wxString Describe(const security::UserRecord& u) {
  return wxString::Format("user [%s] [%s] %d", u.GetName(), u.GetPassword(),
                          static_cast<int>(u.GetRights()));
}

inline wxString Describe(const security::PointAccess& p) {
  wxString text = wxString::Format("point %s [%s] [%s] %u [%s]", p.AddressText(), p.GetName(),
                                   p.GetNumber(), static_cast<unsigned>(p.GetDeviceCode()),
                                   p.GetFirmwareVersion());
  for (const auto& entry : p.GetAccessMap()) {
    text += wxString::Format(" %02x=%d", static_cast<unsigned>(entry.first), entry.second ? 1 : 0);
  }
  return text;
}

}  // namespace fuzzsupport
