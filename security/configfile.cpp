#include "security/configfile.h"

#include <wx/convauto.h>

#include "security/loadsavedata.h"

namespace security {

namespace {

// Relative path style: no user folder is put in front of the file name.
constexpr long ConfigStyle = wxCONFIG_USE_RELATIVE_PATH;

}  // namespace

ConfigFile::ConfigFile(const wxString& localFileName)
    : wxFileConfig(wxS("Security lib"), wxS("KALVO Software"), localFileName, wxString(),
                   ConfigStyle, wxConvAuto()) {
  CollectGroups();
}

ConfigFile::~ConfigFile() { groupPaths_.clear(); }

void ConfigFile::CollectGroups() {
  SetPath(wxS("/"));
  wxString name;
  long cookie = 0;
  for (bool more = GetFirstGroup(name, cookie); more; more = GetNextGroup(name, cookie)) {
    groupPaths_.push_back(wxS("/") + name);
  }
}

wxString ConfigFile::GroupPath(unsigned index) const {
  return index < groupPaths_.size() ? groupPaths_[index] : wxString();
}

void ConfigFile::DeleteGroups() {
  for (const wxString& path : groupPaths_) DeleteGroup(path);
}

void SecurityData::ImportFromConfigFile(const wxString& fileName) {
  ConfigFile config(fileName);
  for (unsigned i = 0; i < config.GroupCount(); ++i) {
    config.SetPath(config.GroupPath(i));
    const wxString addressText = config.Read(wxS("address"), wxString());
    kalvo_lorim::Address address;
    if (!kalvo_lorim::ParseAddress(addressText, address)) continue;
    if (address == kalvo_lorim::NoAddress() || address == kalvo_lorim::OwnAddress() ||
        address == kalvo_lorim::Address(255, 0, 255)) {
      continue;
    }
    PointAccess point;
    point.SetAddress(addressText);
    point.SetName(config.Read(wxS("name"), wxString()));
    point.SetNumber(config.Read(wxS("number"), wxString()));
    ImportedPointAccessList.push_back(point);
  }
}

bool SecurityData::ContainsAddress(const std::vector<PointAccess>& list,
                                   const kalvo_lorim::Address& address) {
  for (const PointAccess& point : list) {
    if (point.GetAddress() == address) return true;
  }
  return false;
}

bool SecurityData::SyncPointLists() {
  if (PointAccessList.empty() && ImportedPointAccessList.empty()) return true;
  if (PointAccessList.empty()) {
    PointAccessList = ImportedPointAccessList;
    return false;
  }
  if (ImportedPointAccessList.empty()) {
    PointAccessList.clear();
    return false;
  }
  bool unchanged = true;
  for (auto it = PointAccessList.begin(); it != PointAccessList.end();) {
    if (ContainsAddress(ImportedPointAccessList, it->GetAddress())) {
      ++it;
    } else {
      it = PointAccessList.erase(it);
      unchanged = false;
    }
  }
  for (const PointAccess& imported : ImportedPointAccessList) {
    if (!ContainsAddress(PointAccessList, imported.GetAddress())) {
      PointAccessList.push_back(imported);
      unchanged = false;
    }
  }
  return unchanged;
}

}  // namespace security
