#pragma once
// Holder of the security map file's sections: reading, decoding, login,
// writing, and the import of configured points from a configuration file.

#include <cstddef>
#include <string>
#include <vector>

#include <wx/string.h>

#include "kalvo_lorim/types.h"
#include "security/exception.h"
#include "security/rights.h"

namespace security {

using TokenTable = std::vector<std::vector<std::string>>;

class SecurityData {
 public:
  SecurityData();

  void SetMapPath(const std::string& path) { mapPath_ = path; }
  const std::string& GetMapPath() const { return mapPath_; }

  // Section lines as read, still hex-coded.
  const std::vector<std::string>& GetUsersLines() const { return usersLines_; }
  const std::vector<std::string>& GetPointsLines() const { return pointsLines_; }
  bool IsUsersSectionEmpty() const { return usersLines_.empty(); }
  bool IsPointsSectionEmpty() const { return pointsLines_.empty(); }

  void ReadUsersSection();
  void ReadPointsSection();
  // Fill UserList, respectively PointAccessList and CurrentPointAccess, one
  // entry per section line.
  void LoadUsers();
  void LoadPoints();
  // Rewrites the existing map file with both sections; throws when the file
  // cannot be opened or written.
  void Save() const;

  bool Login(const wxString& name, const wxString& password);
  bool HasRootUser() const;
  bool FindUser(const wxString& name, const wxString& password, std::size_t& index) const;

  static TokenTable DecodeSection(const std::vector<std::string>& lines);
  // The record text of line i; empty when the line holds a broken UTF-16 sequence.
  static wxString DecodeLine(const TokenTable& tokens, std::size_t i);
  static wxString EncodeLine(const wxString& text);
  // Fill entry i of UserList / PointAccessList; an index past the end is ignored.
  static void ParseUserLine(std::size_t i, const wxString& text);
  static void ParsePointLine(std::size_t i, const wxString& text);

  // Record texts as the writer codes them.
  static wxString UserRecordText(const UserRecord& user);
  static wxString PointRecordText(const PointAccess& point);

  void ImportFromConfigFile(const wxString& fileName);
  // Brings PointAccessList in line with ImportedPointAccessList; true when
  // nothing had to change.
  bool SyncPointLists();
  static bool ContainsAddress(const std::vector<PointAccess>& list,
                              const kalvo_lorim::Address& address);

 private:
  std::vector<std::string> pointsLines_;
  std::vector<std::string> usersLines_;
  std::string mapPath_;
};

}  // namespace security
