// The main window against a simulated point on a pseudo-terminal.
#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/radiobox.h>
#include <wx/textctrl.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include "app/app.h"
#include "app/appsettings.h"
#include "app/mainframe.h"
#include "app/panelinfo.h"
#include "app/pointrefresh.h"
#include "gui_support.h"
#include "simulated_line.h"
#include "kalvo_lorim/thread.h"
#include "pointsim.h"
#include "pty.h"
#include "security/rights.h"

namespace {

using kalvo_lorim::Address;
using Clock = std::chrono::steady_clock;

const wxColour kWhite(255, 255, 255), kBlue(0, 0, 255), kGrey(127, 127, 127), kYellow(255, 255, 0),
    kRed(255, 0, 0);

// What the information panel showed after each refresh.
struct Seen {
  int kind;
  wxColour background;
  wxColour text;
  wxString label;
};

class MainFrameTest : public guitest::SimulatedLineTest {
 protected:
  void SetUp() override {
    guitest::SimulatedLineTest::SetUp();
    AppSettings.language = "";
  }

  MainFrame* Open(const WatchdogTiming& timing = WatchdogTiming()) {
    frame = new MainFrame(timing);
    frame->GetRefresh()->SetAfterApply([this](const kalvo_lorim::Point& point, Clock::duration) {
      wxStaticText* info = frame->GetPanelInfo()->GetInfo();
      std::lock_guard<std::mutex> lock(seenLock_);
      seen_.push_back({point.GetLastEvent().GetKind(), info->GetBackgroundColour(), info->GetForegroundColour(),
                       info->GetLabel()});
    });
    return frame;
  }
  // Closing as the toolkit does it; returns how many milliseconds the
  // window took.
  long long CloseFrame() {
    if (!frame) return 0;
    const auto start = Clock::now();
    delete frame;
    frame = nullptr;
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  }
  std::vector<Seen> SeenSoFar() {
    std::lock_guard<std::mutex> lock(seenLock_);
    return seen_;
  }

  std::mutex seenLock_;
  std::vector<Seen> seen_;
};


TEST_F(MainFrameTest, PollsTheWholeCycleAndShowsMeasuresBlueOnWhite) {
  Open();
  ASSERT_TRUE(InfoShows(*frame, kWhite, kBlue, 10000));
  ASSERT_TRUE(guitest::RunLoopUntil([&] { return HeardWholeCycle(); }, 10000));

  const std::vector<Seen> seen = SeenSoFar();
  ASSERT_GE(seen.size(), 4u);
  // Plugging and reading pass in grey; then the measures of the point's
  // current algorithm (number 1 on the simulated point) show.
  EXPECT_EQ(seen[0].kind, EventKind::Plugged);
  EXPECT_EQ(AppSettings.currentAlgorithm, 1);
  const auto firstShown = std::find_if(seen.begin(), seen.end(), [](const Seen& s) { return s.background == kWhite; });
  ASSERT_NE(firstShown, seen.end());
  for (auto it = seen.begin(); it != firstShown; ++it) {
    EXPECT_EQ(it->background, kGrey) << "kind " << it->kind;
  }
  EXPECT_EQ(firstShown->kind, EventKind::AlgorithmMeasure);
  EXPECT_EQ(firstShown->label, wxString::FromUTF8(" 21.5 °C"));
  // One point, one thread, and the frame keeps its title bar.
  EXPECT_EQ(frame->GetPoints().Size(), 1u);
  EXPECT_EQ(frame->GetPoints().At(0)->GetAddress(), Address(255, 255, 255));
  EXPECT_TRUE(frame->HasThread());
  EXPECT_FALSE(frame->IsFullScreen());
}

TEST_F(MainFrameTest, APointThatFallsSilentTurnsRedOnYellowAndComesBack) {
  Open();
  ASSERT_TRUE(InfoShows(*frame, kWhite, kBlue, 10000));
  sim->AddFault(pointsim::Fault::NoAnswer());
  ASSERT_TRUE(InfoShows(*frame, kYellow, kRed, 10000));
  EXPECT_EQ(frame->GetPanelInfo()->GetInfo()->GetLabel(), _("No answer"));

  sim->ClearFaults();
  bus.ClearRequests();
  ASSERT_TRUE(InfoShows(*frame, kWhite, kBlue, 15000));
  EXPECT_TRUE(guitest::RunLoopUntil([&] { return HeardWholeCycle(); }, 10000));
}

TEST_F(MainFrameTest, ReconnectingServesAFreshPoint) {
  Open();
  ASSERT_TRUE(InfoShows(*frame, kWhite, kBlue, 10000));
  AppSettings.address = Address(1, 2, 3);
  frame->ConnectDevice(App::MakePortConfigurator());
  ASSERT_EQ(frame->GetPoints().Size(), 1u);
  EXPECT_EQ(frame->GetPoints().At(0)->GetAddress(), Address(1, 2, 3));
  const std::size_t seenBefore = SeenSoFar().size();
  ASSERT_TRUE(guitest::RunLoopUntil(
      [&] {
        const std::vector<Seen> seen = SeenSoFar();
        return std::any_of(seen.begin() + static_cast<long>(seenBefore), seen.end(),
                           [](const Seen& s) { return s.kind == EventKind::CurrentMeasure; });
      },
      10000));
  // The new point started afresh: plugged again before it measured.
  const std::vector<Seen> seen = SeenSoFar();
  EXPECT_TRUE(std::any_of(seen.begin() + static_cast<long>(seenBefore), seen.end(),
                          [](const Seen& s) { return s.kind == EventKind::Plugged; }));
}

// The options dialog as the operator fills it: direct mode with `address`,
// 19200 baud, OK. Answers the address box when one comes.
void FillOptions(guitest::ModalScript& script, const char* address, bool addressRefused) {
  script.Then([address](wxDialog* dialog) {
    auto* mode = dynamic_cast<wxRadioBox*>(dialog->FindWindow(XRCID("ID_RADIO_REGIM")));
    mode->SetSelection(1);
    wxCommandEvent changed(wxEVT_RADIOBOX, mode->GetId());
    changed.SetInt(1);
    changed.SetEventObject(mode);
    mode->GetEventHandler()->ProcessEvent(changed);
    dynamic_cast<wxTextCtrl*>(dialog->FindWindow(XRCID("ID_TEXT_ADDRESS")))->SetValue(address);
    dynamic_cast<wxChoice*>(dialog->FindWindow(XRCID("ID_COMBO_BAUD_RATE")))->SetStringSelection("19200");
    wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
    ok.SetEventObject(dialog->FindWindow(wxID_OK));
    dialog->GetEventHandler()->ProcessEvent(ok);
    return dialog->GetReturnCode();
  });
  if (addressRefused) script.ThenId(wxID_OK);
}

TEST_F(MainFrameTest, AcceptedOptionsApplyTheResultAndReconnect) {
  Open();
  ASSERT_TRUE(InfoShows(*frame, kWhite, kBlue, 10000));
  guitest::ModalScript script;
  FillOptions(script, "1.2.3", false);
  frame->OnOptions();
  EXPECT_EQ(script.Pending(), 0u);
  EXPECT_EQ(AppSettings.address, Address(1, 2, 3));
  EXPECT_EQ(AppSettings.baudRate, "19200");
  EXPECT_EQ(AppSettings.serialPort, "COM1");
  ASSERT_EQ(frame->GetPoints().Size(), 1u);
  EXPECT_EQ(frame->GetPoints().At(0)->GetAddress(), Address(1, 2, 3));
  EXPECT_TRUE(frame->HasThread());
  bus.ClearRequests();
  EXPECT_TRUE(guitest::RunLoopUntil([&] { return HeardWholeCycle(); }, 10000));
}

TEST_F(MainFrameTest, RefusedAddressAppliesNoneOfTheThree) {
  Open();
  ASSERT_TRUE(InfoShows(*frame, kWhite, kBlue, 10000));
  guitest::ModalScript script;
  FillOptions(script, "0.0.0", true);
  frame->OnOptions();
  ASSERT_EQ(script.Shown().size(), 2u);
  EXPECT_EQ(script.Shown()[1].message, wxString::Format(_("Error in address %s!"), "0.0.0"));
  EXPECT_EQ(AppSettings.address, Address(255, 255, 255));
  EXPECT_EQ(AppSettings.baudRate, "9600");
  EXPECT_EQ(frame->GetPoints().At(0)->GetAddress(), Address(255, 255, 255));
  EXPECT_TRUE(frame->HasThread());
}

TEST_F(MainFrameTest, TheOptionsButtonOpensTheDialog) {
  Open();
  guitest::ModalScript script;
  script.ThenId(wxID_CANCEL);
  wxButton* config = frame->GetPanelInfo()->GetConfig();
  wxCommandEvent click(wxEVT_BUTTON, config->GetId());
  click.SetEventObject(config);
  config->GetEventHandler()->ProcessEvent(click);
  ASSERT_EQ(script.Shown().size(), 1u);
  EXPECT_EQ(script.Shown()[0].title, _("Parameters"));
  EXPECT_EQ(AppSettings.address, Address(255, 255, 255));
}

struct RefusedCase {
  long timeout;
  const char* baud;
};

class RefusedConfiguration : public MainFrameTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedConfiguration, WindowOpensSaysWrongParameterAndRunsNoThread) {
  AppSettings.waitReceiverTimeout = GetParam().timeout;
  AppSettings.baudRate = GetParam().baud;
  Open();
  wxStaticText* info = frame->GetPanelInfo()->GetInfo();
  EXPECT_FALSE(frame->HasThread());
  EXPECT_EQ(info->GetLabel(), _("Wrong parameter"));
  EXPECT_EQ(info->GetBackgroundColour(), kYellow);
  EXPECT_EQ(info->GetForegroundColour(), kRed);
  EXPECT_TRUE(frame->GetPanelInfo()->GetConfig()->IsEnabled());
  guitest::RunLoopFor(200);
  EXPECT_TRUE(RequestIds().empty()) << "nothing may go out on the line";

  // Put right, the same window connects.
  AppSettings.waitReceiverTimeout = 40;
  AppSettings.baudRate = "9600";
  frame->ConnectDevice(App::MakePortConfigurator());
  EXPECT_TRUE(frame->HasThread());
  EXPECT_TRUE(InfoShows(*frame, kWhite, kBlue, 10000));
}

INSTANTIATE_TEST_SUITE_P(MainFrame, RefusedConfiguration,
                         ::testing::Values(RefusedCase{25, "9600"}, RefusedCase{40, "12345"},
                                           RefusedCase{40, "fast"}));

TEST_F(MainFrameTest, WatchdogReplacesAThreadStuckInOneRead) {
  // The answer announces a data block far longer than it sends: the read
  // waits for it, for about a minute.
  sim->AddFault(pointsim::Fault::Make(pointsim::FaultKind::LengthTooLarge, 60000, 15, 1));
  // A stall limit far above the time of a read that is answered, even on a
  // loaded machine: only the stuck read is taken for a stall.
  Open(WatchdogTiming{100, 2000});
  ASSERT_TRUE(guitest::RunLoopUntil([&] { return frame->RestartCount() >= 1; }, 30000));
  EXPECT_TRUE(frame->HasThread());
  EXPECT_FALSE(frame->GetPoints().At(0)->IsBusy() && frame->RestartCount() > 1);
  bus.ClearRequests();
  EXPECT_TRUE(InfoShows(*frame, kWhite, kBlue, 10000));
  EXPECT_TRUE(guitest::RunLoopUntil([&] { return HeardWholeCycle(); }, 10000));
  EXPECT_EQ(frame->RestartCount(), 1u);
  EXPECT_TRUE(guitest::RunLoopUntil([] { return kalvo_lorim::Thread::AbandonedCount() == 0; }, 5000));
}

// How long closing may take before it counts as hung: far above the half
// second that a read stuck on the line is given, and far below the minute
// that the stuck read of the tests below would last if it were waited for.
constexpr long long ClosingLimitMs = 10000;

TEST_F(MainFrameTest, ClosingWhileAReadIsStuckGivesTheReadUp) {
  sim->AddFault(pointsim::Fault::Make(pointsim::FaultKind::LengthTooLarge, 60000, 15));
  Open();
  ASSERT_TRUE(guitest::RunLoopUntil(
      [&] {
        const std::vector<int> ids = RequestIds();
        return std::find(ids.begin(), ids.end(), 15) != ids.end();
      },
      10000));
  guitest::RunLoopFor(100);
  auto refresh = frame->GetRefresh();
  const std::uint64_t applied = refresh->Applied();
  const auto took = CloseFrame();
  EXPECT_LT(took, ClosingLimitMs);
  EXPECT_EQ(refresh->Applied(), applied);
  EXPECT_TRUE(guitest::RunLoopUntil([] { return kalvo_lorim::Thread::AbandonedCount() == 0; }, 5000));
  // Given up, not stopped in order: the thread reported nothing at its end.
  const std::vector<int> dropped = refresh->DroppedKinds();
  EXPECT_EQ(std::count(dropped.begin(), dropped.end(), EventKind::Unplugged), 0);
}

TEST_F(MainFrameTest, ClosingWhileIdleStopsInOrderAndRefreshesNothingMore) {
  Open();
  ASSERT_TRUE(InfoShows(*frame, kWhite, kBlue, 10000));
  auto refresh = frame->GetRefresh();
  const std::uint64_t applied = refresh->Applied();
  const auto took = CloseFrame();
  EXPECT_LT(took, ClosingLimitMs);
  guitest::RunLoopFor(100);
  EXPECT_EQ(refresh->Applied(), applied);
  // The stopped thread reported the point as unplugged; that came too late to show.
  const std::vector<int> dropped = refresh->DroppedKinds();
  EXPECT_NE(std::find(dropped.begin(), dropped.end(), EventKind::Unplugged), dropped.end());
  EXPECT_EQ(kalvo_lorim::Thread::AbandonedCount(), 0u);
}

TEST_F(MainFrameTest, FunctionKeysActOnlyWhileTheirButtonIsEnabled) {
  AppSettings.waitReceiverTimeout = 25;  // no thread needed here
  Open();
  for (const char* name : {"ID_SET_PARAMETERS", "ID_GET_PARAMS", "ID_RESTART_MEASURES", "ID_RESTART_ALL"}) {
    const int id = XRCID(name);
    wxButton* button = dynamic_cast<wxButton*>(frame->FindWindow(id));
    std::unique_ptr<wxButton> own;
    if (!button) {  // a panel without it: a stand-in with the same id
      own = std::make_unique<wxButton>(frame->GetPanelInfo(), id, name);
      button = own.get();
    }
    int clicks = 0;
    auto count = [&](wxCommandEvent&) { ++clicks; };
    button->Bind(wxEVT_BUTTON, count, id);
    wxCommandEvent key(wxEVT_MENU, id);
    button->Disable();
    frame->GetEventHandler()->ProcessEvent(key);
    EXPECT_EQ(clicks, 0) << name;
    button->Enable();
    frame->GetEventHandler()->ProcessEvent(key);
    EXPECT_EQ(clicks, 1) << name;
    button->Unbind(wxEVT_BUTTON, count, id);
  }
}

struct HelpCase {
  const char* language;
  bool pagesPresent;
  const char* page;  // empty: nothing opens
};

class Help : public MainFrameTest, public ::testing::WithParamInterface<HelpCase> {};

TEST_P(Help, F1OpensThePageOfTheLanguage) {
  guitest::ScratchDir dir;
  if (GetParam().pagesPresent) {
    dir.Write("help/rus/index.htm", "<html></html>");
    dir.Write("help/enu/index.htm", "<html></html>");
  }
  AppSettings.waitReceiverTimeout = 25;
  AppSettings.language = GetParam().language;
  std::vector<wxString> opened;
  auto saved = MainFrame::openHelpPage;
  MainFrame::openHelpPage = [&](const wxString& url) { opened.push_back(url); };
  Open();
  wxCommandEvent key(wxEVT_MENU, 100);
  frame->GetEventHandler()->ProcessEvent(key);
  MainFrame::openHelpPage = saved;
  if (std::string(GetParam().page).empty()) {
    EXPECT_TRUE(opened.empty());
  } else {
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], "file://" + dir.Path() + "/" + GetParam().page);
  }
}

INSTANTIATE_TEST_SUITE_P(MainFrame, Help,
                         ::testing::Values(HelpCase{"english", true, "help/enu/index.htm"},
                                           HelpCase{"russian", true, "help/rus/index.htm"},
                                           HelpCase{"ukrainian", true, "help/rus/index.htm"},
                                           HelpCase{"", true, ""}, HelpCase{"English", true, ""},
                                           HelpCase{"english", false, ""}));

// The configured point served in work-in-system mode.
struct SelectCase {
  Address settings;
  Address served;
};

class SelectPoint : public ::testing::TestWithParam<SelectCase> {
 protected:
  void SetUp() override {
    saved_ = AppSettings;
    savedList_ = security::PointAccessList;
    savedCurrent_ = security::GetCurrentPointAccess();
  }
  void TearDown() override {
    AppSettings = saved_;
    security::PointAccessList = savedList_;
    security::SetCurrentPointAccess(savedCurrent_);
  }
  AppSettingsRecord saved_;
  std::vector<security::PointAccess> savedList_;
  security::PointAccess savedCurrent_;
};

TEST_P(SelectPoint, SettingsAddressOrTheFirstConfiguredPoint) {
  security::PointAccessList.clear();
  for (const char* text : {"1.2.3", "4.5.6", "7.8.9"}) {
    security::PointAccess record;
    record.SetAddress(text);
    record.SetName(text);
    security::PointAccessList.push_back(record);
  }
  AppSettings.workInSystem = true;
  AppSettings.address = GetParam().settings;
  App::SelectCurrentPoint();
  EXPECT_EQ(AppSettings.address, GetParam().served);
  EXPECT_EQ(security::GetCurrentPointAccess().GetAddress(), GetParam().served);

  // Stand-alone, nothing is chosen.
  AppSettings.workInSystem = false;
  AppSettings.address = Address(9, 9, 9);
  App::SelectCurrentPoint();
  EXPECT_EQ(AppSettings.address, Address(9, 9, 9));
}

INSTANTIATE_TEST_SUITE_P(MainFrame, SelectPoint,
                         ::testing::Values(SelectCase{Address(255, 255, 255), Address(1, 2, 3)},
                                           SelectCase{Address(4, 5, 6), Address(4, 5, 6)},
                                           SelectCase{Address(7, 8, 9), Address(7, 8, 9)},
                                           SelectCase{Address(2, 2, 2), Address(1, 2, 3)}));

}  // namespace
