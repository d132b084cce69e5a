#include "kalvo_lorim/error.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

using kalvo_lorim::Error;
using kalvo_lorim::Exception;

namespace {

TEST(ExceptionTest, MessagesAgainstErrorText) {
  struct Case {
    int code;
    const char* message;
    const char* errorText;
  };
  const Case cases[] = {
      {0, "No error", ""},
      {1, "Unsupported command", "Unsupported command"},
      {3, "Package header structure corrupted", "Package header structure corrupted"},
      {5, "Unit is busy and can not answer now", "Unit is busy and can not answer now"},
      {7, "Package data corrupted", "Package data corrupted"},
      {8, "Unknown error", "Unknown error"},
      {9, "Unknown error", "Unknown error"},
      {10, "Wrong \"Redirect\" package", "Wrong \"Redirect\" package"},
      {255, "Unknown error", "Unknown error"},
      {0xF00, "No answer", "No answer"},
      {0xF01, "Not all data received", "Not all data received"},
      {0xF02, "Write error", "Write error"},
      {0xF03, "Serial port error", "Unknown error"},
      {0xF04, "Unsupported data type", "Unknown error"},
      {0xF05, "Buffer overflow", "Unknown error"},
      {0xF06, "Buffer underflow", "Unknown error"},
      {1000, "Unknown error", "Unknown error"},
  };
  for (const Case& c : cases) {
    const Exception e(__FILE__, 42, c.code);
    EXPECT_EQ(e.GetMessage(), c.message) << c.code;
    EXPECT_EQ(e.GetCode(), c.code);
    EXPECT_EQ(ErrorText(c.code), c.errorText) << c.code;
  }
}

TEST(ExceptionTest, CopyKeepsAllFields) {
  try {
    KALVO_THROW(Error::NoAnswer);
  } catch (const Exception& thrown) {
    const Exception copy = thrown;
    EXPECT_EQ(copy.GetCode(), 0xF00);
    EXPECT_EQ(copy.GetMessage(), "No answer");
    EXPECT_EQ(copy.GetLine(), thrown.GetLine());
    EXPECT_GT(copy.GetLine(), 0);
    EXPECT_TRUE(copy.GetFile().EndsWith("error_test.cpp")) << copy.GetFile();
  }
}

TEST(ErrorTextTest, ConcurrentFirstUseIsSafe) {
  std::vector<std::thread> threads;
  std::vector<wxString> results(8);
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&results, i] { results[i] = ErrorText(4); });
  }
  for (auto& t : threads) t.join();
  for (const auto& r : results) EXPECT_EQ(r, "Unknown variable");
}

}  // namespace
