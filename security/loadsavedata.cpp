#define wxTRANSLATION_DOMAIN "security"
#include "security/loadsavedata.h"

#include <cstdint>
#include <limits>

#include <boost/regex/icu.hpp>
#include <unicode/uchar.h>
#include <wx/filefn.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/textfile.h>

#include "kalvo_lorim/unicode.h"
#include "security/lumoMapLoader.h"

namespace security {

namespace {

const char* const SourceName = "loadsavedata";
constexpr int SaveOpenLine = 61;
constexpr int SaveWriteLine = 62;

// Searched anywhere in a decoded record text. The classes must know letters of
// every script (names are often Cyrillic), so they run on ICU's character data.
const boost::u32regex& UserLinePattern() {
  static const boost::u32regex pattern =
      boost::make_u32regex(std::wstring(LR"((\w+)\s+(\w+)\s+(\d+))"));
  return pattern;
}

const boost::u32regex& PointLinePattern() {
  static const boost::u32regex pattern = boost::make_u32regex(std::wstring(
      LR"RX((\d{3}.\d{3}.\d{3})[\s]*"([[\w\s\d\-\+\*\.\,\)\(\>\<\$!%\;\:\[\]\&\?\\]*)"[\s]*(\d+)[\s]*(\d+)[\s]*"([\w\s.]*)"[\s]*)RX"));
  return pattern;
}

const boost::u32regex& AccessEntryPattern() {
  static const boost::u32regex pattern =
      boost::make_u32regex(std::wstring(LR"(\[(0x[0-9A-Fa-f]+) (\d+)\])"));
  return pattern;
}

bool Search(const std::wstring& text, std::wstring::const_iterator from, boost::wsmatch& m,
            const boost::u32regex& pattern) {
  try {
    return boost::u32regex_search(from, text.cend(), m, pattern);
  } catch (const std::exception&) {
    // The engine gave up on a pathological text: treat it as no match.
    return false;
  }
}

// A run of decimal digits of any script, as the patterns' \d accepts them.
struct Decimal {
  unsigned low8 = 0;                 // the value modulo 256
  std::uint64_t saturated = 0;       // the value, stopped just past the int32 range
  bool nonZero = false;

  explicit Decimal(const std::wstring& digits) {
    constexpr std::uint64_t cap = std::uint64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (wchar_t c : digits) {
      const int d = u_charDigitValue(static_cast<UChar32>(c));
      if (d < 0) break;
      low8 = (low8 * 10 + static_cast<unsigned>(d)) % 256;
      if (saturated < cap) saturated = saturated * 10 + static_cast<unsigned>(d);
      if (d != 0) nonZero = true;
    }
  }

  // Rights too large for their field grant nothing.
  std::int32_t Int32OrZero() const {
    return saturated > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())
               ? 0
               : static_cast<std::int32_t>(saturated);
  }
};

int HexDigit(wchar_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hexadecimal digits from the start of the text, as far as they go, keeping
// the low bits given by the mask (so no length can overflow).
unsigned HexPrefix(const std::wstring& text, unsigned mask) {
  unsigned value = 0;
  for (wchar_t c : text) {
    const int d = HexDigit(c);
    if (d < 0) break;
    value = ((value << 4) | static_cast<unsigned>(d)) & mask;
  }
  return value;
}

unsigned TokenUnit(const std::string& token) {
  // The token is read behind a "0x" prefix: a token that carries its own
  // prefix therefore reads as 0.
  unsigned value = 0;
  for (char c : token) {
    const int d = HexDigit(static_cast<unsigned char>(c));
    if (d < 0) break;
    value = ((value << 4) | static_cast<unsigned>(d)) & 0xFFFFu;
  }
  return value;
}

bool IsHighSurrogate(unsigned u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(unsigned u) { return u >= 0xDC00 && u <= 0xDFFF; }

wxString ToWx(const std::wstring& text) { return wxString(text.c_str(), text.size()); }

wxString MapPathText(const std::string& path) { return wxString(path.c_str(), wxConvFile); }

}  // namespace

SecurityData::SecurityData() : mapPath_("../config.map") {}

void SecurityData::ReadUsersSection() { lumoMapLoader(mapPath_).ReadSection("users", usersLines_); }

void SecurityData::ReadPointsSection() {
  lumoMapLoader(mapPath_).ReadSection("points", pointsLines_);
}

TokenTable SecurityData::DecodeSection(const std::vector<std::string>& lines) {
  TokenTable tokens(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) SplitTokens(lines[i], tokens[i]);
  return tokens;
}

wxString SecurityData::DecodeLine(const TokenTable& tokens, std::size_t i) {
  if (i >= tokens.size()) return wxString();
  std::vector<unsigned> units;
  units.reserve(tokens[i].size());
  for (const std::string& token : tokens[i]) {
    const unsigned unit = TokenUnit(token);
    if (unit != 0) units.push_back(unit);
  }

  std::wstring text;
  text.reserve(units.size());
  for (std::size_t k = 0; k < units.size(); ++k) {
    const unsigned u = units[k];
    if (IsHighSurrogate(u) && k + 1 < units.size() && IsLowSurrogate(units[k + 1])) {
      text.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (units[k + 1] - 0xDC00)));
      ++k;
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      return wxString();  // not UTF-16: the record is refused as a whole
    } else {
      text.push_back(static_cast<wchar_t>(u));
    }
  }
  return ToWx(text);
}

wxString SecurityData::EncodeLine(const wxString& text) {
  wxString coded;
  const auto unit = [&coded](unsigned u) { coded += wxString::Format("%x ", u); };
  for (wxString::const_iterator it = text.begin(); it != text.end(); ++it) {
    const wxUint32 c = static_cast<wxUint32>((*it).GetValue());
    if (c >= 0x10000 && c <= 0x10FFFF) {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else if (!kalvo_lorim::IsCharacter(c)) {
      // Not a character: a lone surrogate unit would make the reader refuse
      // the whole record, so the record keeps a replacement mark instead.
      unit(0xFFFD);
    } else {
      unit(c);
    }
  }
  return coded;
}

void SecurityData::ParseUserLine(std::size_t i, const wxString& text) {
  if (i >= UserList.size()) return;
  const std::wstring wide = text.ToStdWstring();
  boost::wsmatch m;
  if (!Search(wide, wide.cbegin(), m, UserLinePattern())) return;
  UserRecord& user = UserList[i];
  user.SetName(ToWx(m.str(1)));
  user.SetPassword(ToWx(m.str(2)));
  user.SetRights(Decimal(m.str(3)).Int32OrZero());
}

void SecurityData::ParsePointLine(std::size_t i, const wxString& text) {
  if (i >= PointAccessList.size()) return;
  PointAccess& point = PointAccessList[i];
  const std::wstring wide = text.ToStdWstring();
  boost::wsmatch m;
  if (Search(wide, wide.cbegin(), m, PointLinePattern())) {
    point.SetAddress(ToWx(m.str(1)));  // an unparsable address keeps the old one
    point.SetName(ToWx(m.str(2)));
    point.SetNumber(ToWx(m.str(3)));
    point.SetDeviceCode(static_cast<std::uint8_t>(Decimal(m.str(4)).low8));
    point.SetFirmwareVersion(ToWx(m.str(5)));
  }

  AccessMap access;
  const std::size_t bracket = wide.find(L'[');
  if (bracket != std::wstring::npos) {
    auto from = wide.cbegin() + static_cast<std::ptrdiff_t>(bracket);
    while (Search(wide, from, m, AccessEntryPattern())) {
      const std::wstring key = m.str(1).substr(2);  // behind the "0x"
      access[static_cast<std::uint8_t>(HexPrefix(key, 0xFF))] = Decimal(m.str(2)).nonZero;
      from = m[0].second;
    }
  }
  point.SetAccessMap(access);
}

void SecurityData::LoadUsers() {
  const TokenTable tokens = DecodeSection(usersLines_);
  UserList.resize(tokens.size());
  for (std::size_t i = 0; i < tokens.size(); ++i) ParseUserLine(i, DecodeLine(tokens, i));
}

void SecurityData::LoadPoints() {
  const TokenTable tokens = DecodeSection(pointsLines_);
  PointAccessList.resize(tokens.size());
  for (std::size_t i = 0; i < tokens.size(); ++i) ParsePointLine(i, DecodeLine(tokens, i));
  if (!PointAccessList.empty()) SetCurrentPointAccess(PointAccessList.front());
}

wxString SecurityData::UserRecordText(const UserRecord& user) {
  return user.GetName() + wxS(" ") + user.GetPassword() + wxS(" ") +
         wxString::Format("%d", static_cast<int>(user.GetRights()));
}

wxString SecurityData::PointRecordText(const PointAccess& point) {
  wxString text = point.AddressText() + wxS(" \"") + point.GetName() + wxS("\" ") +
                  point.GetNumber() + wxS(" ") + point.DeviceCodeText() + wxS(" \"") +
                  point.GetFirmwareVersion() + wxS("\" ");
  for (const auto& entry : point.GetAccessMap()) {
    text += wxString::Format("[0x%02x %d] ", static_cast<unsigned>(entry.first),
                             entry.second ? 1 : 0);
  }
  text.RemoveLast();
  return text;
}

void SecurityData::Save() const {
  const wxString path = MapPathText(mapPath_);
  wxTextFile file;
  {
    wxLogNull quiet;  // the failure is reported by the exception
    if (path.empty() || !wxFileExists(path) || !file.Open(path)) {
      throw Exception(_("Error saving file. "), SourceName, SaveOpenLine);
    }
  }
  file.Clear();
  file.AddLine(wxS("users begin"));
  for (const UserRecord& user : UserList) file.AddLine(EncodeLine(UserRecordText(user)));
  file.AddLine(wxS("users end"));
  file.AddLine(wxS("points begin"));
  for (const PointAccess& point : PointAccessList) file.AddLine(EncodeLine(PointRecordText(point)));
  file.AddLine(wxS("points end"));

  bool written;
  {
    wxLogNull quiet;
    written = file.Write(wxTextFileType_Dos, wxConvUTF8);
  }
  file.Close();
  if (!written) throw Exception(_("Error saving file. "), SourceName, SaveWriteLine);
}

bool SecurityData::Login(const wxString& name, const wxString& password) {
  std::size_t index = 0;
  if (!FindUser(name, password, index)) return false;
  CurrentUser = UserList[index];
  return true;
}

bool SecurityData::FindUser(const wxString& name, const wxString& password,
                            std::size_t& index) const {
  for (std::size_t i = 0; i < UserList.size(); ++i) {
    if (UserList[i].GetName() == name && UserList[i].GetPassword() == password) {
      index = i;
      return true;
    }
  }
  return false;
}

bool SecurityData::HasRootUser() const {
  for (const UserRecord& user : UserList) {
    if (user.GetName() == wxS("root")) return true;
  }
  return false;
}

}  // namespace security
