#pragma once
// The sibling security program's ini-style file: one group per configured point.

#include <vector>

#include <wx/fileconf.h>
#include <wx/string.h>

namespace security {

class ConfigFile : public wxFileConfig {
 public:
  // The file name is used as given, relative to the current directory.
  explicit ConfigFile(const wxString& localFileName);
  ~ConfigFile() override;

  unsigned GroupCount() const { return static_cast<unsigned>(groupPaths_.size()); }
  // "/" + name of the top-level group; empty for an index past the end.
  wxString GroupPath(unsigned index) const;
  // Deletes every collected group; the list of paths stays as it is.
  void DeleteGroups();

 private:
  void CollectGroups();

  std::vector<wxString> groupPaths_;
};

}  // namespace security
