#define wxTRANSLATION_DOMAIN "security"
#include "security/lumoMapLoader.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include <sys/stat.h>

#include <boost/regex.hpp>
#include <wx/intl.h>

#include "security/exception.h"

namespace security {

namespace {

const char* const SourceName = "lumoMapLoader";
constexpr int GetValueOpenLine = 68;
constexpr int ReadSectionOpenLine = 104;
constexpr int ReadSectionCorruptLine = 137;
constexpr int ListKeysOpenLine = 148;
constexpr int ListSectionsOpenLine = 183;

// Always matched against the whole line.
const boost::regex KeyValuePattern(R"(\A([^#].*?)[[:space:]]*=[[:space:]](.*))");
const boost::regex BeginPattern(R"(\A([^#].*?)[[:space:]]begin(.*))");
const boost::regex EndPattern(R"(\A([^#].*?)[[:space:]]end(.*))");
const boost::regex ContentPattern(R"(\A([^#].*?)(#|$))");

bool WholeMatch(const std::string& line, const boost::regex& pattern, boost::smatch* groups) {
  try {
    boost::smatch local;
    return boost::regex_match(line, groups ? *groups : local, pattern);
  } catch (const std::runtime_error&) {
    // The engine gave up on a pathological line: it is no line of this class.
    return false;
  }
}

std::string GroupOf(const std::string& line, const boost::regex& pattern, int group) {
  boost::smatch m;
  if (!WholeMatch(line, pattern, &m)) return std::string();
  return m.str(group);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads one line at a time and never holds more than the limit plus a CR.
class LineReader {
 public:
  LineReader(const std::string& path, int openFailureLine) {
    file_.reset(std::fopen(path.c_str(), "rb"));
    struct stat info;
    if (!file_ || fstat(fileno(file_.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
      Fail(openFailureLine);
    }
    openFailureLine_ = openFailureLine;
  }

  // False at the end of the file, at a read error and at a line that is too long.
  bool Next(std::string& line) {
    line.clear();
    if (done_) return false;
    int c;
    bool any = false;
    while ((c = std::getc(file_.get())) != EOF) {
      any = true;
      if (c == '\n') break;
      // One character over the limit is allowed: it may be the CR of a CR LF end.
      if (line.size() > lumoMapLoader::MaxLineLength) return Stop();
      line.push_back(static_cast<char>(c));
    }
    if (std::ferror(file_.get())) Fail(openFailureLine_);  // the file could not be read
    if (!any) return Stop();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > lumoMapLoader::MaxLineLength) return Stop();
    return true;
  }

 private:
  bool Stop() {
    done_ = true;
    return false;
  }
  [[noreturn]] static void Fail(int line) {
    throw Exception(_("Error opening file. "), SourceName, line);
  }

  std::unique_ptr<std::FILE, FileCloser> file_;
  int openFailureLine_ = 0;
  bool done_ = false;
};

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '.' || c == ';'; }

}  // namespace

bool lumoMapLoader::IsKeyValueLine(const std::string& line) {
  return WholeMatch(line, KeyValuePattern, nullptr);
}
bool lumoMapLoader::IsBeginLine(const std::string& line) {
  return WholeMatch(line, BeginPattern, nullptr);
}
bool lumoMapLoader::IsEndLine(const std::string& line) {
  return WholeMatch(line, EndPattern, nullptr);
}
bool lumoMapLoader::IsContentLine(const std::string& line) {
  return WholeMatch(line, ContentPattern, nullptr);
}

std::string lumoMapLoader::KeyOf(const std::string& line) {
  return GroupOf(line, KeyValuePattern, 1);
}
std::string lumoMapLoader::ValueOf(const std::string& line) {
  return GroupOf(line, KeyValuePattern, 2);
}
std::string lumoMapLoader::SectionNameOf(const std::string& line) {
  return GroupOf(line, BeginPattern, 1);
}
std::string lumoMapLoader::ContentOf(const std::string& line) {
  return GroupOf(line, ContentPattern, 1);
}

void lumoMapLoader::ReadSection(const std::string& name, std::vector<std::string>& lines) const {
  LineReader reader(path_, ReadSectionOpenLine);
  lines.clear();

  bool inSection = false;
  bool found = false;
  bool endSeen = false;
  std::string line;
  while (reader.Next(line)) {
    if (IsBeginLine(line)) {
      inSection = true;
      if (SectionNameOf(line) == name) {
        found = true;
        continue;
      }
    }
    if (IsEndLine(line)) endSeen = true;
    if (inSection && found && !endSeen && IsContentLine(line)) lines.push_back(ContentOf(line));
    if (inSection && endSeen) {
      inSection = false;
      found = false;
      endSeen = false;
    }
  }
  if (inSection != endSeen) throw Exception(_("File corrupted. "), SourceName, ReadSectionCorruptLine);
}

void lumoMapLoader::GetValue(const std::string& key, std::string& value) const {
  LineReader reader(path_, GetValueOpenLine);
  std::string line;
  while (reader.Next(line)) {
    if (IsKeyValueLine(line) && KeyOf(line) == key) {
      value = ValueOf(line);
      return;
    }
  }
}

void lumoMapLoader::ListKeys(std::vector<std::string>& keys) const {
  LineReader reader(path_, ListKeysOpenLine);
  keys.clear();
  std::string line;
  while (reader.Next(line)) {
    if (IsKeyValueLine(line)) keys.push_back(KeyOf(line));
  }
}

void lumoMapLoader::ListSections(std::vector<std::string>& names) const {
  LineReader reader(path_, ListSectionsOpenLine);
  names.clear();
  std::string line;
  while (reader.Next(line)) {
    if (IsBeginLine(line)) names.push_back(SectionNameOf(line));
  }
}

void SplitTokens(const std::string& text, std::vector<std::string>& tokens) {
  tokens.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSeparator(text[i])) ++i;
    const std::size_t start = i;
    while (i < text.size() && !IsSeparator(text[i])) ++i;
    if (i > start) tokens.push_back(text.substr(start, i - start));
  }
}

void SplitColumns(const std::vector<std::string>& lines,
                  std::vector<std::vector<std::string>>& table) {
  std::vector<std::string> tokens;
  if (!lines.empty()) SplitTokens(lines.front(), tokens);
  table.resize(tokens.size());
  for (auto& column : table) {
    if (column.size() < lines.size()) column.resize(lines.size());
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SplitTokens(lines[i], tokens);
    for (std::size_t j = 0; j < tokens.size() && j < table.size(); ++j) table[j][i] = tokens[j];
  }
}

}  // namespace security
