#include <clocale>

#include <gtest/gtest.h>
#include <wx/init.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  wxInitializer wx;
  if (!wx.IsOk()) {
    fprintf(stderr, "wxWidgets failed to initialise\n");
    return 1;
  }
  // Numbers are formatted in the C locale whatever the environment says.
  std::setlocale(LC_NUMERIC, "C");
  return RUN_ALL_TESTS();
}
