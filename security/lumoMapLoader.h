#pragma once
// Reader of sectioned text files with comments and key = value lines; the
// security map file is read through its section reading.

#include <cstddef>
#include <string>
#include <vector>

namespace security {

class lumoMapLoader {
 public:
  // Longest line the reader accepts; a longer one ends the reading there.
  static constexpr std::size_t MaxLineLength = 2047;

  lumoMapLoader() = default;
  explicit lumoMapLoader(const std::string& path) : path_(path) {}

  const std::string& GetPath() const { return path_; }

  // Replaces `lines` with the content lines of every section named `name`, in file order.
  void ReadSection(const std::string& name, std::vector<std::string>& lines) const;
  // The value of the first key = value line with this key; `value` unchanged when none.
  void GetValue(const std::string& key, std::string& value) const;
  void ListKeys(std::vector<std::string>& keys) const;
  void ListSections(std::vector<std::string>& names) const;

  static bool IsKeyValueLine(const std::string& line);
  static bool IsBeginLine(const std::string& line);
  static bool IsEndLine(const std::string& line);
  static bool IsContentLine(const std::string& line);

  static std::string KeyOf(const std::string& line);
  static std::string ValueOf(const std::string& line);
  static std::string SectionNameOf(const std::string& line);
  static std::string ContentOf(const std::string& line);

 private:
  std::string path_;
};

// Tokens of the text, cut at runs of blank, tab, comma, full stop and semicolon.
void SplitTokens(const std::string& text, std::vector<std::string>& tokens);
// Token j of line i becomes entry i of column j; the first line decides the
// number of columns, further tokens of longer lines are dropped.
void SplitColumns(const std::vector<std::string>& lines,
                  std::vector<std::vector<std::string>>& table);

}  // namespace security
