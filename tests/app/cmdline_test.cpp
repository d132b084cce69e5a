// The work-in-system command line: which argument lists are accepted and
// what is kept of them.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app.h"
#include "gui_support.h"

namespace {

struct CommandLineCase {
  const char* name;
  std::vector<std::string> args;  // after the program name
  bool accepted;
  const char* port = "";
  kalvo_lorim::Address address;
  long timeout = 0;
};

CommandLineCase Accepted(const char* name, std::vector<std::string> args, const char* port,
                         kalvo_lorim::Address address, long timeout) {
  return {name, std::move(args), true, port, address, timeout};
}

CommandLineCase Refused(const char* name, std::vector<std::string> args) {
  return {name, std::move(args), false, "", kalvo_lorim::Address(), 0};
}

std::vector<std::string> Line(const std::string& port, const std::string& address,
                              const std::string& timeout) {
  return {"user", "pass", port, address, timeout};
}

const kalvo_lorim::Address A567(5, 6, 7);

class CommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, AcceptsOrRefuses) {
  const CommandLineCase& c = GetParam();
  guitest::ScratchDir dir;  // the application object opens its settings file here
  wxAppConsole* previous = wxApp::GetInstance();
  App* app = new App;
  std::vector<std::string> args = {"kalvo_checker"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  app->argc = static_cast<int>(argv.size());
  app->argv.Init(app->argc, argv.data());

  EXPECT_EQ(app->ParseCommandLine(), c.accepted);
  if (c.accepted) {
    EXPECT_EQ(app->GetCmdLogin(), "user");
    EXPECT_EQ(app->GetCmdPassword(), "pass");
    EXPECT_EQ(app->GetCmdPort(), c.port);
    EXPECT_EQ(app->GetCmdAddress(), c.address);
    EXPECT_EQ(app->GetCmdTimeout(), c.timeout);
  } else {
    // A refusal keeps nothing.
    EXPECT_EQ(app->GetCmdLogin(), "");
    EXPECT_EQ(app->GetCmdPassword(), "");
    EXPECT_EQ(app->GetCmdPort(), "");
    EXPECT_EQ(app->GetCmdAddress(), kalvo_lorim::Address());
    EXPECT_EQ(app->GetCmdTimeout(), 0);
  }
  delete app;
  wxApp::SetInstance(previous);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLine,
    ::testing::Values(
        Accepted("plain", Line("COM3", "5.6.7", "500"), "COM3", A567, 500),
        Accepted("lowest_port", Line("COM1", "5.6.7", "500"), "COM1", A567, 500),
        Accepted("highest_port", Line("COM256", "5.6.7", "500"), "COM256", A567, 500),
        Accepted("text_after_the_port_number_is_kept", Line("COM3x", "5.6.7", "500"), "COM3x", A567, 500),
        Accepted("blank_before_the_port_number", Line("COM 12", "5.6.7", "500"), "COM 12", A567, 500),
        Accepted("signed_port_number", Line("COM+3", "5.6.7", "500"), "COM+3", A567, 500),
        Accepted("leading_zeros", Line("COM003", "005.006.007", "0500"), "COM003", A567, 500),
        Accepted("time_out_below_the_minimum_passes", Line("COM3", "5.6.7", "10"), "COM3", A567, 10),
        Accepted("signed_time_out", Line("COM3", "5.6.7", "+500"), "COM3", A567, 500),
        Accepted("negative_time_out", Line("COM3", "5.6.7", "-500"), "COM3", A567, -500),
        Accepted("blank_before_the_time_out", Line("COM3", "5.6.7", " 500"), "COM3", A567, 500),
        Refused("lower_case_port", Line("com3", "5.6.7", "500")),
        Refused("port_0", Line("COM0", "5.6.7", "500")),
        Refused("port_257", Line("COM257", "5.6.7", "500")),
        Refused("negative_port", Line("COM-3", "5.6.7", "500")),
        Refused("no_port_number", Line("COM", "5.6.7", "500")),
        Refused("no_digits_after_com", Line("COMx3", "5.6.7", "500")),
        Refused("blank_then_sign_only", Line("COM +", "5.6.7", "500")),
        Refused("port_number_overflows", Line("COM99999999999999999999999", "5.6.7", "500")),
        Refused("port_name_shorter_than_com", Line("CO", "5.6.7", "500")),
        Refused("broadcast_address", Line("COM3", "0.0.0", "500")),
        Refused("own_address", Line("COM3", "1.1.1", "500")),
        Refused("default_address", Line("COM3", "255.255.255", "500")),
        Refused("address_with_two_parts", Line("COM3", "5.6", "500")),
        Refused("address_out_of_range", Line("COM3", "5.6.256", "500")),
        Refused("time_out_with_unit", Line("COM3", "5.6.7", "50ms")),
        Refused("time_out_with_blank_after", Line("COM3", "5.6.7", "500 ")),
        Refused("empty_time_out", Line("COM3", "5.6.7", "")),
        Refused("sign_only_time_out", Line("COM3", "5.6.7", "-")),
        Refused("time_out_overflows", Line("COM3", "5.6.7", "99999999999999999999999")),
        Refused("four_arguments", {"user", "pass", "COM3", "5.6.7"}),
        Refused("six_arguments", {"user", "pass", "COM3", "5.6.7", "500", "extra"}),
        Refused("no_arguments", {})),
    [](const ::testing::TestParamInfo<CommandLineCase>& info) { return std::string(info.param.name); });

}  // namespace
