#include "pty.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include <gtest/gtest.h>

namespace {

// The fixture itself must pass every byte value unchanged, or line tests prove nothing.
TEST(PtyPairTest, PassesEveryByteValueBothWays) {
  testsupport::PtyPair pty;
  const int slave = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);

  pty.Write(all);
  std::vector<std::uint8_t> got(256);
  size_t n = 0;
  while (n < got.size()) {
    const ssize_t r = read(slave, got.data() + n, got.size() - n);
    ASSERT_GT(r, 0);
    n += static_cast<size_t>(r);
  }
  EXPECT_EQ(got, all);

  ASSERT_EQ(write(slave, all.data(), all.size()), 256);
  EXPECT_EQ(pty.Read(256, 2000), all);
  EXPECT_TRUE(pty.Read(1, 50).empty());
  close(slave);
}

TEST(PortFolderTest, LinksAndRestoresEnvironment) {
  std::string path;
  {
    testsupport::PortFolder folder;
    path = folder.Path();
    ASSERT_NE(std::getenv("KALVO_PORTS"), nullptr);
    EXPECT_EQ(path, std::getenv("KALVO_PORTS"));
    const std::string link = folder.Link("COM3", "/dev/null");
    char target[64] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "/dev/null");
  }
  EXPECT_EQ(access(path.c_str(), F_OK), -1);
}

}  // namespace
