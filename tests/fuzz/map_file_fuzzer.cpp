// Arbitrary bytes as the security map file: read both sections, load them,
// write them back and read the written file again.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "records.h"
#include "security/exception.h"
#include "security/loadsavedata.h"
#include "security/lumoMapLoader.h"
#include "security/rights.h"

using namespace security;
using fuzzsupport::Fail;

namespace {

void CheckGathered(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    // The reader only hands out content: never empty, never a comment, one line.
    if (line.empty() || line[0] == '#' || line.find('\n') != std::string::npos ||
        line.size() > lumoMapLoader::MaxLineLength) {
      Fail("section reader gathered no content line", wxString::FromUTF8(line));
    }
  }
}

// True when the section could be read; the loader's own exception is expected.
bool Read(SecurityData& data, bool users) {
  try {
    if (users) {
      data.ReadUsersSection();
      CheckGathered(data.GetUsersLines());
    } else {
      data.ReadPointsSection();
      CheckGathered(data.GetPointsLines());
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void Load(SecurityData& data) {
  UserList.clear();
  PointAccessList.clear();
  SetCurrentPointAccess(PointAccess());
  // Gathered lines stay usable after "File corrupted. ", so load them anyway.
  Read(data, true);
  data.LoadUsers();
  if (UserList.size() != data.GetUsersLines().size()) Fail("one user per line", wxString());
  Read(data, false);
  data.LoadPoints();
  if (PointAccessList.size() != data.GetPointsLines().size()) Fail("one point per line", wxString());
  if (!PointAccessList.empty() && !fuzzsupport::SamePoint(GetCurrentPointAccess(), PointAccessList[0])) {
    Fail("current point is the first one", fuzzsupport::Describe(GetCurrentPointAccess()));
  }
}

bool LinesFit() {
  for (const UserRecord& user : UserList) {
    if (SecurityData::EncodeLine(SecurityData::UserRecordText(user)).length() >
        lumoMapLoader::MaxLineLength)
      return false;
  }
  for (const PointAccess& point : PointAccessList) {
    if (SecurityData::EncodeLine(SecurityData::PointRecordText(point)).length() >
        lumoMapLoader::MaxLineLength)
      return false;
  }
  return true;
}

void OtherReads(const std::string& path) {
  const lumoMapLoader loader(path);
  std::vector<std::string> names, keys;
  std::string value;
  try {
    loader.ListSections(names);
    loader.ListKeys(keys);
    if (!keys.empty()) loader.GetValue(keys.back(), value);
  } catch (const Exception&) {
  }
  std::vector<std::vector<std::string>> table;
  SplitColumns(names, table);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const fuzzsupport::ScratchFile file;
  file.Write(bytes, size);

  SecurityData data;
  data.SetMapPath(file.Path());
  Load(data);
  OtherReads(file.Path());

  // What was loaded must survive the writer and the reader unchanged, as long
  // as every written line stays within the reader's line limit.
  if (!LinesFit()) return 0;
  const std::vector<UserRecord> users = UserList;
  const std::vector<PointAccess> points = PointAccessList;
  try {
    data.Save();
  } catch (const Exception&) {
    Fail("saving over an existing file", wxString(file.Path()));
  }
  SecurityData again;
  again.SetMapPath(file.Path());
  if (!Read(again, true) || !Read(again, false)) Fail("written file reads back", wxString());
  Load(again);
  if (UserList.size() != users.size() || PointAccessList.size() != points.size()) {
    Fail("written file keeps the record count",
         wxString::Format("%zu/%zu users, %zu/%zu points", UserList.size(), users.size(),
                          PointAccessList.size(), points.size()));
  }
  for (std::size_t i = 0; i < users.size(); ++i) {
    if (!fuzzsupport::SameUser(UserList[i], users[i]))
      Fail("user survives a save", fuzzsupport::Describe(users[i]) + " -> " +
                                       fuzzsupport::Describe(UserList[i]));
  }
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!fuzzsupport::SamePoint(PointAccessList[i], points[i]))
      Fail("point survives a save", fuzzsupport::Describe(points[i]) + " -> " +
                                        fuzzsupport::Describe(PointAccessList[i]));
  }
  return 0;
}
