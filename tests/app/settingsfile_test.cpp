// The settings file as text, without the application: the bound of the
// entries read, and the modes of the files it writes.

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <wx/fileconf.h>

#include "app/settingsfile.h"
#include "gui_support.h"

namespace {

const char* const kIni = "kalvo_checker.ini";

// Every file of the working folder but the settings file.
int OtherFiles() {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(".")) n += entry.path().filename() != kIni;
  return n;
}

struct BoundCase {
  const char* name;
  std::string text;
  bool read;
};

// The program's port, then `entries` entries and group headers in all, in
// groups of 100.
std::string Entries(std::size_t entries) {
  std::string s = "[communication]\nserial_port=COM4\n";
  for (std::size_t n = 2; n < entries; ++n) {
    s += n % 100 == 0 ? "[group_" + std::to_string(n) + "]\n" : "key_" + std::to_string(n) + "=1\n";
  }
  return s;
}

// The bound of the size is a row of the reader's table in the settings test.
// A file past the bound is copied aside only when it is written over.
TEST(SettingsFile, ReadsUpToTheBoundOfEntriesAndKeepsAsideWhatLiesBeyond) {
  const BoundCase cases[] = {
      {"as many entries and groups as are read", Entries(SettingsFile::MaxEntries), true},
      {"one entry more", Entries(SettingsFile::MaxEntries + 1), false},
  };
  for (const BoundCase& c : cases) {
    SCOPED_TRACE(c.name);
    guitest::ScratchDir dir;
    dir.Write(kIni, c.text);
    SettingsFile file(std::string("./") + kIni);
    const std::unique_ptr<wxFileConfig> config(file.MakeConfig());
    EXPECT_EQ(config->Read("/communication/serial_port", wxString()), c.read ? "COM4" : "");
    EXPECT_EQ(file.ReadWhole(), c.read);
    EXPECT_EQ(OtherFiles(), 0);
    ASSERT_TRUE(file.MayWriteOver());
    ASSERT_TRUE(file.Write(*config));
    EXPECT_EQ(file.KeptCopy().empty(), c.read);
    EXPECT_EQ(OtherFiles(), c.read ? 0 : 1);
    if (!c.read) EXPECT_EQ(dir.Read(std::string(file.KeptCopy().fn_str())), c.text);
  }
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The copy and the written file keep the file's mode; a new file gets the
// mode the umask leaves.
TEST(SettingsFile, WrittenFilesKeepTheModeOfTheFile) {
  guitest::ScratchDir dir;
  const std::string path = std::string("./") + kIni;
  dir.Write(kIni, std::string("\xEF\xBB\xBF[communication]\nserial_port=COM2\xC3\n"));  // not read
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  {
    SettingsFile file(path);
    const std::unique_ptr<wxFileConfig> config(file.MakeConfig());
    config->Write("/communication/serial_port", "COM5");
    ASSERT_TRUE(file.Write(*config));
    ASSERT_FALSE(file.KeptCopy().empty());
    EXPECT_EQ(ModeOf(std::string(file.KeptCopy().fn_str())), 0640u);
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(dir.Read(kIni), "[communication]\nserial_port=COM5\n");
  }

  ASSERT_EQ(::unlink(path.c_str()), 0);
  const mode_t mask = ::umask(027);
  SettingsFile file(path);
  const std::unique_ptr<wxFileConfig> config(file.MakeConfig());
  config->Write("/communication/serial_port", "COM5");
  EXPECT_TRUE(file.Write(*config));
  ::umask(mask);
  EXPECT_EQ(ModeOf(path), 0640u);
}

}  // namespace
