// The information panel's colours and texts by the point's last event.
#include <map>
#include <memory>

#include <gtest/gtest.h>
#include <wx/frame.h>

#include "app/appsettings.h"
#include "app/panelinfo.h"
#include "kalvo_lorim/error.h"
#include "kalvo_lorim/event.h"
#include "kalvo_lorim/measure.h"
#include "kalvo_lorim/point.h"

namespace {

using kalvo_lorim::Address;
using kalvo_lorim::Event;
using kalvo_lorim::Measure;
using kalvo_lorim::Point;

const Address kAt(1, 2, 3);
const wxColour kWhite(255, 255, 255), kBlue(0, 0, 255), kGrey(127, 127, 127), kBlack(0, 0, 0),
    kYellow(255, 255, 0), kRed(255, 0, 0);

class PanelInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = AppSettings;
    savedStarted_ = StartedFromSystem;
    AppSettings.keepXrcFonts = true;
    frame_ = new wxFrame(nullptr, wxID_ANY, "info");
  }
  void TearDown() override {
    frame_->Destroy();
    AppSettings = saved_;
    StartedFromSystem = savedStarted_;
  }
  std::unique_ptr<PanelInfo> MakePanel() { return std::make_unique<PanelInfo>(frame_); }
  // Marks what the panel showed before, to see whether an update changed it.
  static void Mark(PanelInfo& panel) {
    panel.GetInfo()->SetBackgroundColour(wxColour(1, 2, 3));
    panel.GetInfo()->SetForegroundColour(wxColour(4, 5, 6));
    panel.GetInfo()->SetLabel("before");
  }

  AppSettingsRecord saved_;
  bool savedStarted_ = false;
  wxFrame* frame_ = nullptr;
};

Point PointAfter(int kind, int algorithmNumber, float value = 12.5f) {
  Point point(kAt);
  const Measure measure(value, "V", 10, 5, algorithmNumber, 0);
  if (kind == EventKind::CurrentAlgorithmChanged) {
    point.HandleEvent(Event(EventKind::CurrentMeasure, kAt, boost::any(measure)));
    point.HandleEvent(Event(kind, kAt, boost::any(kalvo_lorim::AlgorithmNumber(algorithmNumber))));
  } else if (kind == EventKind::CurrentMeasure || kind == EventKind::AlgorithmMeasure ||
             (kind >= EventKind::ThresholdExceeded && kind <= EventKind::ThresholdReduced)) {
    point.HandleEvent(Event(kind, kAt, boost::any(measure)));
  } else if (kind == EventKind::ParamsChanged) {
    point.HandleEvent(Event(kind, kAt, boost::any(std::map<unsigned char, wxString>())));
  } else {
    point.HandleEvent(Event(kind, kAt, boost::any(0L)));
  }
  return point;
}

struct InfoCase {
  int kind;
  int measureAlgorithm;
  int currentAlgorithm;
  long view;
  bool changes;
  wxColour background, text;
};

class InfoUpdate : public PanelInfoTest, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(InfoUpdate, ColoursAndTextFollowTheLastEvent) {
  const InfoCase& c = GetParam();
  AppSettings.currentAlgorithm = c.currentAlgorithm;
  AppSettings.infWinView = c.view;
  auto panel = MakePanel();
  Mark(*panel);
  const Point point = PointAfter(c.kind, c.measureAlgorithm, 12500.0f);
  panel->UpdatePanel(point);
  if (!c.changes) {
    EXPECT_EQ(panel->GetInfo()->GetLabel(), "before");
    EXPECT_EQ(panel->GetInfo()->GetBackgroundColour(), wxColour(1, 2, 3));
    return;
  }
  EXPECT_EQ(panel->GetInfo()->GetBackgroundColour(), c.background);
  EXPECT_EQ(panel->GetInfo()->GetForegroundColour(), c.text);
  EXPECT_EQ(panel->GetInfo()->GetLabel(), c.view == 1 ? point.StateTextFractional() : point.StateText());
}

INSTANTIATE_TEST_SUITE_P(
    PanelInfo, InfoUpdate,
    ::testing::Values(
        // Events that never move the text.
        InfoCase{EventKind::Unplugged, 0, 0, 0, false, {}, {}},
        InfoCase{EventKind::StatusRead, 0, 0, 0, false, {}, {}},
        InfoCase{EventKind::VolumeLevelChanged, 0, 0, 0, false, {}, {}},
        InfoCase{EventKind::ParamsChanged, 0, 0, 0, false, {}, {}},
        // Measures of the current algorithm: blue on white, in either view.
        InfoCase{EventKind::CurrentMeasure, 0, 0, 0, true, kWhite, kBlue},
        InfoCase{EventKind::CurrentMeasure, 0, 0, 1, true, kWhite, kBlue},
        InfoCase{EventKind::AlgorithmMeasure, 2, 2, 0, true, kWhite, kBlue},
        InfoCase{EventKind::ThresholdExceeded, 1, 1, 1, true, kWhite, kBlue},
        InfoCase{EventKind::PrethresholdExceeded, 1, 1, 0, true, kWhite, kBlue},
        InfoCase{EventKind::ThresholdReduced, 1, 1, 0, true, kWhite, kBlue},
        InfoCase{EventKind::CurrentAlgorithmChanged, 0, 0, 0, true, kWhite, kBlue},
        // Measures of another algorithm leave it; with none known yet only number 0 counts.
        InfoCase{EventKind::AlgorithmMeasure, 2, 1, 0, false, {}, {}},
        InfoCase{EventKind::AlgorithmMeasure, 1, 0, 0, false, {}, {}},
        InfoCase{EventKind::CurrentMeasure, 0, 3, 0, false, {}, {}},
        // Everything else: grey with black text.
        InfoCase{EventKind::Plugged, 0, 0, 0, true, kGrey, kBlack},
        InfoCase{EventKind::AddressChanged, 0, 0, 1, true, kGrey, kBlack},
        InfoCase{EventKind::MeasuresRestarted, 0, 0, 0, true, kGrey, kBlack}));

TEST_F(PanelInfoTest, FailedPointIsRedOnYellowInTheEngineerForm) {
  AppSettings.infWinView = 1;
  auto panel = MakePanel();
  Point point(kAt);
  point.HandleEvent(Event(EventKind::CurrentMeasure, kAt, boost::any(Measure(12500.0f, "V", 1, 1, 0, 0))));
  point.HandleEvent(Event(EventKind::NoAnswer, kAt, boost::any(kalvo_lorim::Error::NoAnswer)));
  ASSERT_TRUE(point.IsFailed());
  panel->ClearPanel(point);
  EXPECT_EQ(panel->GetInfo()->GetBackgroundColour(), kYellow);
  EXPECT_EQ(panel->GetInfo()->GetForegroundColour(), kRed);
  EXPECT_EQ(panel->GetInfo()->GetLabel(), point.StateText());
  EXPECT_FALSE(point.StateText().empty());
}

TEST_F(PanelInfoTest, StartTextAndTheOptionsButton) {
  for (bool fromSystem : {false, true}) {
    StartedFromSystem = fromSystem;
    auto panel = MakePanel();
    EXPECT_EQ(panel->GetInfo()->GetLabel(), _("Choice \"Parameters...\" to start"));
    EXPECT_EQ(panel->GetConfig()->IsEnabled(), !fromSystem);
    panel->UpdatePanel(PointAfter(EventKind::Plugged, 0));
    panel->ClearPanel(PointAfter(EventKind::Plugged, 0));
    EXPECT_EQ(panel->GetConfig()->IsEnabled(), !fromSystem) << "an update must not enable it";
  }
}

TEST_F(PanelInfoTest, FontSizeOnlyWhenTheResourceFontsAreNotKept) {
  AppSettings.infoFontSize = 20;
  AppSettings.keepXrcFonts = true;
  const int resourceSize = MakePanel()->GetInfo()->GetFont().GetPointSize();
  AppSettings.keepXrcFonts = false;
  EXPECT_EQ(MakePanel()->GetInfo()->GetFont().GetPointSize(), 20);
  AppSettings.keepXrcFonts = true;
  EXPECT_EQ(MakePanel()->GetInfo()->GetFont().GetPointSize(), resourceSize);
}

}  // namespace
