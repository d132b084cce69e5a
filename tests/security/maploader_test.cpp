#include <functional>

#include <gtest/gtest.h>

#include "scratch.h"
#include "security/exception.h"
#include "security/lumoMapLoader.h"

using security::lumoMapLoader;
using Lines = std::vector<std::string>;

namespace {

struct LineCase {
  std::string line;
  bool keyValue;
  std::string key, value;
  bool begin;
  std::string section;
  bool end;
  bool content;
  std::string contentText;
};

TEST(LinePatternTest, ClassesAndGroupsOfWholeLines) {
  const LineCase cases[] = {
      {"users begin", false, "", "", true, "users", false, true, "users begin"},
      {"users  begin", false, "", "", true, "users ", false, true, "users  begin"},
      {"users beginning", false, "", "", true, "users", false, true, "users beginning"},
      {"users\tbegin", false, "", "", true, "users", false, true, "users\tbegin"},
      {"users end", false, "", "", false, "", true, true, "users end"},
      {"#users begin", false, "", "", false, "", false, false, ""},
      {"port = 5", true, "port", "5", false, "", false, true, "port = 5"},
      {"port=5", false, "", "", false, "", false, true, "port=5"},
      {"port =5", false, "", "", false, "", false, true, "port =5"},
      {"port  =  5", true, "port", " 5", false, "", false, true, "port  =  5"},
      {"72 6f 6f 74 #", false, "", "", false, "", false, true, "72 6f 6f 74 "},
      {"a#b", false, "", "", false, "", false, true, "a#b"},
      {"a##", false, "", "", false, "", false, true, "a#"},
      {"", false, "", "", false, "", false, false, ""},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE("line \"" + c.line + "\"");
    EXPECT_EQ(lumoMapLoader::IsKeyValueLine(c.line), c.keyValue);
    EXPECT_EQ(lumoMapLoader::KeyOf(c.line), c.key);
    EXPECT_EQ(lumoMapLoader::ValueOf(c.line), c.value);
    EXPECT_EQ(lumoMapLoader::IsBeginLine(c.line), c.begin);
    EXPECT_EQ(lumoMapLoader::SectionNameOf(c.line), c.section);
    EXPECT_EQ(lumoMapLoader::IsEndLine(c.line), c.end);
    EXPECT_EQ(lumoMapLoader::IsContentLine(c.line), c.content);
    EXPECT_EQ(lumoMapLoader::ContentOf(c.line), c.contentText);
  }
}

struct SectionCase {
  const char* what;
  std::string file;
  std::string wanted;
  Lines lines;
  bool corrupted;
};

TEST(ReadSectionTest, GathersContentAndDetectsUnclosedSections) {
  const std::string long2047(2047, 'a');
  const std::string long2048(2048, 'a');
  const SectionCase cases[] = {
      {"two sections", "users begin\r\nu1\r\nusers end\r\npoints begin\r\np1\r\npoints end\r\n",
       "users", {"u1"}, false},
      {"points of the same file", "users begin\r\nu1\r\nusers end\r\npoints begin\r\np1\r\np2\r\npoints end\r\n",
       "points", {"p1", "p2"}, false},
      {"two blanks before begin", "users  begin\r\nu1\r\nusers end\r\n", "users", {}, false},
      {"no users section", "points begin\r\np1\r\npoints end\r\n", "users", {}, false},
      {"points never closed", "users begin\r\nu1\r\nusers end\r\npoints begin\r\np1\r\n", "users",
       {"u1"}, true},
      {"stray end line", "users end\r\n", "users", {}, true},
      {"repeated section", "users begin\r\nu1\r\nusers end\r\nusers begin\r\nu2\r\nusers end\r\n",
       "users", {"u1", "u2"}, false},
      {"comments, empty lines, trailing #",
       "# top\r\n\r\nusers begin\r\n# inside\r\n\r\nu1#\r\nu#2\r\nusers end\r\n", "users",
       {"u1", "u#2"}, false},
      {"begin of another section inside", "users begin\r\nother begin\r\nu1\r\nusers end\r\n",
       "users", {"other begin", "u1"}, false},
      {"byte-order mark hides the name", "\xEF\xBB\xBFusers begin\r\nu1\r\nusers end\r\n", "users",
       {}, false},
      {"LF only and no final line end", "users begin\nu1\nusers end", "users", {"u1"}, false},
      {"line of 2047 characters", "users begin\r\n" + long2047 + "\r\nusers end\r\n", "users",
       {long2047}, false},
      {"line of 2048 characters ends the reading", "users begin\r\nu1\r\n" + long2048 + "\r\nu2\r\nusers end\r\n",
       "users", {"u1"}, true},
      {"long line after a closed section", "users begin\r\nu1\r\nusers end\r\n" + long2048 + "\nusers begin\r\n",
       "users", {"u1"}, false},
      {"empty file", "", "users", {}, false},
  };
  testsupport::ScratchDir dir;
  for (const SectionCase& c : cases) {
    SCOPED_TRACE(c.what);
    lumoMapLoader loader(dir.Write("case.map", c.file));
    Lines lines = {"stale"};
    bool corrupted = false;
    try {
      loader.ReadSection(c.wanted, lines);
    } catch (const security::Exception& e) {
      corrupted = true;
      EXPECT_EQ(e.GetMessage(), wxS("File corrupted. "));
      EXPECT_EQ(e.GetFile(), wxS("lumoMapLoader"));
      EXPECT_EQ(e.GetLine(), 137);
    }
    EXPECT_EQ(corrupted, c.corrupted);
    EXPECT_EQ(lines, c.lines);
  }
}

TEST(ReadSectionTest, FileThatCannotBeOpenedKeepsTheLines) {
  testsupport::ScratchDir dir;
  const std::string missing = dir.Path("missing.map");
  const std::string folder = dir.Path("folder");
  std::filesystem::create_directory(folder);

  struct Case {
    const char* what;
    std::function<void(const lumoMapLoader&)> call;
    int line;
  };
  Lines kept = {"kept"};
  std::string value = "old";
  const Case cases[] = {
      {"ReadSection", [&](const lumoMapLoader& l) { l.ReadSection("users", kept); }, 104},
      {"GetValue", [&](const lumoMapLoader& l) { l.GetValue("port", value); }, 68},
      {"ListKeys", [&](const lumoMapLoader& l) { l.ListKeys(kept); }, 148},
      {"ListSections", [&](const lumoMapLoader& l) { l.ListSections(kept); }, 183},
  };
  for (const std::string& path : {missing, folder}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + " on " + path);
      try {
        c.call(lumoMapLoader(path));
        ADD_FAILURE() << "no exception";
      } catch (const security::Exception& e) {
        EXPECT_EQ(e.GetMessage(), wxS("Error opening file. "));
        EXPECT_EQ(e.GetFile(), wxS("lumoMapLoader"));
        EXPECT_EQ(e.GetLine(), c.line);
      }
    }
  }
  EXPECT_EQ(kept, Lines{"kept"});
  EXPECT_EQ(value, "old");
}

TEST(KeyValueTest, ValuesKeysAndSectionNamesOfEveryLine) {
  testsupport::ScratchDir dir;
  lumoMapLoader loader(dir.Write("kv.map",
                                 "port = 5\r\n# baud = 1\r\nusers begin\r\nport = 7\r\nname =  x y\r\n"
                                 "users end\r\nport=9\r\npoints begin\r\nusers begin\r\n"));
  std::string value = "unset";
  loader.GetValue("port", value);
  EXPECT_EQ(value, "5");
  loader.GetValue("name", value);
  EXPECT_EQ(value, " x y");
  value = "unset";
  loader.GetValue("baud", value);
  EXPECT_EQ(value, "unset");

  Lines keys = {"stale"};
  loader.ListKeys(keys);
  EXPECT_EQ(keys, (Lines{"port", "port", "name"}));
  Lines sections = {"stale"};
  loader.ListSections(sections);
  EXPECT_EQ(sections, (Lines{"users", "points", "users"}));
}

TEST(SplitTest, TokensAtRunsOfSeparators) {
  const std::pair<std::string, Lines> cases[] = {
      {"72 6f 6f 74 ", {"72", "6f", "6f", "74"}},
      {" ,72,.6f;\t6f  74;", {"72", "6f", "6f", "74"}},
      {"", {}},
      {" ;.,\t", {}},
      {"a#b", {"a#b"}},
  };
  for (const auto& c : cases) {
    Lines tokens = {"stale"};
    security::SplitTokens(c.first, tokens);
    EXPECT_EQ(tokens, c.second) << "text \"" << c.first << "\"";
  }
}

TEST(SplitTest, ColumnsFollowTheFirstLineAndStayInsideTheTable) {
  std::vector<Lines> table;
  security::SplitColumns({"a b c", "d e", "f g h i j"}, table);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0], (Lines{"a", "d", "f"}));
  EXPECT_EQ(table[1], (Lines{"b", "e", "g"}));
  EXPECT_EQ(table[2], (Lines{"c", "", "h"}));

  // A table that held shorter columns before is grown, never overrun.
  std::vector<Lines> old = {{"x"}};
  security::SplitColumns({"1 2", "3 4", "5 6"}, old);
  ASSERT_EQ(old.size(), 2u);
  EXPECT_EQ(old[0], (Lines{"1", "3", "5"}));
  EXPECT_EQ(old[1], (Lines{"2", "4", "6"}));

  security::SplitColumns({}, table);
  EXPECT_TRUE(table.empty());
}

}  // namespace
