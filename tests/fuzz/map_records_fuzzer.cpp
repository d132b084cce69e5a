// Record texts of the map file in memory: the line coding both ways and the
// user and point patterns, each checked against the writer's record text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "records.h"
#include "kalvo_lorim/unicode.h"
#include "security/loadsavedata.h"
#include "security/lumoMapLoader.h"
#include "security/rights.h"

using namespace security;
using fuzzsupport::Describe;
using fuzzsupport::Fail;
using kalvo_lorim::IsCharacter;

namespace {

wxString Decode(const std::string& line) {
  return SecurityData::DecodeLine(SecurityData::DecodeSection({line}), 0);
}

// Tokens give UTF-16 units, so the decoded text holds only Unicode scalar values.
void CheckDecoded(const wxString& decoded, const std::string& line) {
  for (wxString::const_iterator it = decoded.begin(); it != decoded.end(); ++it) {
    const wxUint32 c = static_cast<wxUint32>((*it).GetValue());
    if (c == 0 || !IsCharacter(c)) {
      Fail("decoded text holds Unicode characters only", wxString::FromUTF8(line));
    }
  }
}

// What is no character the writer replaces with U+FFFD.
void CheckCoding(const wxString& text) {
  wxString expected;
  for (wxString::const_iterator it = text.begin(); it != text.end(); ++it) {
    const wxUint32 c = static_cast<wxUint32>((*it).GetValue());
    if (c == 0) continue;  // a unit 0 decodes to nothing
    expected += IsCharacter(c) ? *it : wxUniChar(0xFFFD);
  }
  const wxString coded = SecurityData::EncodeLine(text);
  if (!coded.IsAscii()) Fail("coded line is ASCII", coded);
  if (Decode(coded.ToStdString()) != expected) Fail("coding round trip", text);
}

void CheckUser(const wxString& text) {
  const UserRecord sentinel(wxS("keep"), wxS("me"), 64);
  UserList.assign(1, sentinel);
  SecurityData::ParseUserLine(0, text);
  const UserRecord parsed = UserList[0];
  if (fuzzsupport::SameUser(parsed, sentinel)) return;  // no match, or the same user
  if (parsed.GetName().empty() || parsed.GetPassword().empty() || parsed.GetRights() < 0) {
    Fail("matched user has name, password and rights", Describe(parsed));
  }
  UserList.assign(1, UserRecord());
  SecurityData::ParseUserLine(0, SecurityData::UserRecordText(parsed));
  if (!fuzzsupport::SameUser(UserList[0], parsed)) {
    Fail("user record text reads back", Describe(parsed) + " -> " + Describe(UserList[0]));
  }
  SecurityData::ParseUserLine(1, text);  // past the end: ignored
  if (UserList.size() != 1) Fail("index past the end", text);
}

void CheckPoint(const wxString& text) {
  PointAccessList.assign(1, PointAccess());
  SecurityData::ParsePointLine(0, text);
  const PointAccess parsed = PointAccessList[0];
  PointAccessList.assign(1, PointAccess());
  SecurityData::ParsePointLine(0, SecurityData::PointRecordText(parsed));
  if (!fuzzsupport::SamePoint(PointAccessList[0], parsed)) {
    Fail("point record text reads back", Describe(parsed) + " -> " + Describe(PointAccessList[0]));
  }
  SecurityData::ParsePointLine(1, text);
  if (PointAccessList.size() != 1) Fail("index past the end", text);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string raw(reinterpret_cast<const char*>(bytes), size);

  // The input as a record text.
  const wxString text = fuzzsupport::TextOf(bytes, size);
  CheckCoding(text);
  CheckUser(text);
  CheckPoint(text);

  // The input as a coded line.
  const wxString decoded = Decode(raw);
  CheckDecoded(decoded, raw);
  CheckUser(decoded);
  CheckPoint(decoded);

  // The input as lines of tokens.
  std::vector<std::string> lines;
  for (std::size_t start = 0; start <= raw.size();) {
    const std::size_t end = raw.find('\n', start);
    lines.push_back(raw.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  const TokenTable tokens = SecurityData::DecodeSection(lines);
  if (tokens.size() != lines.size()) Fail("one token list per line", wxString());
  for (std::size_t i = 0; i <= tokens.size(); ++i) SecurityData::DecodeLine(tokens, i);
  std::vector<std::vector<std::string>> table;
  SplitColumns(lines, table);
  for (const auto& column : table) {
    if (column.size() != lines.size()) Fail("one column entry per line", wxString());
  }

  UserList.clear();
  PointAccessList.clear();
  return 0;
}
