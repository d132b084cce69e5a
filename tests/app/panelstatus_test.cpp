// The status panel against points built with the library's own events.

#include <gtest/gtest.h>
#include <wx/bitmap.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include <map>
#include <vector>

#include "app/appsettings.h"
#include "app/mainframe.h"
#include "pointsim.h"
#include "pty.h"
#include "app/panelstatus.h"
#include "gui_support.h"
#include "simulated_line.h"
#include "kalvo_lorim/event.h"
#include "kalvo_lorim/measure.h"
#include "kalvo_lorim/point.h"
#include "kalvo_lorim/pointparam.h"

namespace {

using kalvo_lorim::Address;
using kalvo_lorim::Event;
using kalvo_lorim::Measure;
using kalvo_lorim::Point;
using kalvo_lorim::PointParams;
using kalvo_lorim::Status;

const Address At(10, 20, 30);

wxColour ButtonFace() { return wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE); }

class StatusPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppSettings = AppSettingsRecord();
    frame = new wxFrame(nullptr, wxID_ANY, "status", wxPoint(0, 0), wxSize(520, 260),
                        wxDEFAULT_FRAME_STYLE | wxSTAY_ON_TOP);
    panel = new PanelStatus(frame);
  }
  void TearDown() override { frame->Destroy(); }

  // Cell n is 1-based, as the flag codes are.
  wxStaticText* Box(int n) const {
    return dynamic_cast<wxStaticText*>(panel->FindWindow(XRCID(wxString::Format("ID_BMP_BIT_%d", n))));
  }
  wxStaticText* Text(int n) const {
    return dynamic_cast<wxStaticText*>(panel->FindWindow(XRCID(wxString::Format("ID_TEXT_BIT_%d", n))));
  }

  // Every cell as the panel shows it: box colour, text enabled, text label.
  void ExpectCells(std::uint16_t word, const StatusFlagTable& flags,
                   const std::vector<wxString>& labels) const {
    for (int n = 1; n <= 16; ++n) {
      SCOPED_TRACE(testing::Message() << "cell " << n);
      const bool set = (word >> (n - 1)) & 1u;
      ASSERT_NE(Box(n), nullptr);
      ASSERT_NE(Text(n), nullptr);
      EXPECT_EQ(Box(n)->GetBackgroundColour(), set ? flags.Colours(n).GetBackground() : ButtonFace());
      EXPECT_EQ(Text(n)->IsThisEnabled(), set);
      EXPECT_EQ(Text(n)->GetLabel(), labels[n - 1]);
    }
  }

  static std::vector<wxString> Labels(const StatusFlagTable& flags) {
    std::vector<wxString> out;
    for (int n = 1; n <= 16; ++n) out.push_back(n <= flags.Count() ? flags.Text(n) : wxString(" "));
    return out;
  }

  wxFrame* frame = nullptr;
  PanelStatus* panel = nullptr;
};

wxFont Box1Font(wxWindow* panel) { return panel->FindWindow(XRCID("ID_TEXT_BIT_1"))->GetFont(); }

Point PointWithFlags(const StatusFlagTable& flags) {
  Point point(At);
  PointParams params;
  params.SetStatusFlags(flags);
  point.HandleEvent(Event(EventKind::ParamsRead, At, params));
  return point;
}

TEST_F(StatusPanelTest, CellNamesFollowTheBitNumbers) {
  EXPECT_EQ(panel->CellNames(0).first, "ID_BMP_BIT_1");
  EXPECT_EQ(panel->CellNames(0).second, "ID_TEXT_BIT_1");
  EXPECT_EQ(panel->CellNames(15).first, "ID_BMP_BIT_16");
  EXPECT_EQ(panel->CellNames(15).second, "ID_TEXT_BIT_16");
}

TEST_F(StatusPanelTest, PaintBitsColoursSetBitsAndGreysTheRest) {
  const StatusFlagTable builtIn(StatusFlagTable::BuiltIn);
  panel->PaintBits(0x0021, builtIn);
  EXPECT_EQ(Box(1)->GetBackgroundColour(), wxColour(255, 250, 0));
  EXPECT_EQ(Box(6)->GetBackgroundColour(), wxColour(255, 0, 0));
  ExpectCells(0x0021, builtIn, std::vector<wxString>(16, wxString()));

  // Bit 15 has no flag 16 in the built-in table: the default colour, text untouched.
  Text(16)->SetLabel("kept");
  panel->PaintBits(0x8000, builtIn);
  EXPECT_EQ(Box(16)->GetBackgroundColour(), DefaultStateColours.GetBackground());
  EXPECT_NE(Box(16)->GetBackgroundColour(), ButtonFace());
  EXPECT_TRUE(Text(16)->IsThisEnabled());
  EXPECT_EQ(Text(16)->GetLabel(), "kept");
  EXPECT_EQ(Box(1)->GetBackgroundColour(), ButtonFace());
  EXPECT_FALSE(Text(1)->IsThisEnabled());
}

TEST_F(StatusPanelTest, TextsComeFromTheTableAndBlankTheCellsBeyondIt) {
  const StatusFlagTable builtIn(StatusFlagTable::BuiltIn);
  panel->ShowBitTexts(PointWithFlags(builtIn));
  for (int n = 1; n <= 16; ++n) {
    SCOPED_TRACE(testing::Message() << "cell " << n);
    EXPECT_EQ(Text(n)->GetLabel(), n <= 11 ? builtIn.Text(n) : wxString(" "));
    EXPECT_FALSE(Text(n)->IsThisEnabled());
  }

  // A shorter table of the point's own leaves no text of the longer one behind;
  // a gap in its codes is an empty text.
  std::map<int, EventLogLine> own{{1, EventLogLine("Door open", 2)}, {3, EventLogLine("Low battery", 1)}};
  StatusFlagTable ownTable(own);
  ASSERT_EQ(ownTable.Count(), 2);
  panel->ShowBitTexts(PointWithFlags(ownTable));
  EXPECT_EQ(Text(1)->GetLabel(), "Door open");
  EXPECT_EQ(Text(2)->GetLabel(), "");
  for (int n = 3; n <= 16; ++n) EXPECT_EQ(Text(n)->GetLabel(), " ") << "cell " << n;
}

TEST_F(StatusPanelTest, RefreshFollowsTheKindOfTheLastEvent) {
  const StatusFlagTable builtIn(StatusFlagTable::BuiltIn);
  const std::uint16_t before = 0x0002;
  const std::uint16_t word = 0x0221;
  const Measure measure(1.5f, "Sv/h", 10, 5, 0, word);
  const Measure notReady = [&] {
    Measure m(kalvo_lorim::NoMeasureValue, "Sv/h", 10, 5, 0, word);
    m.SetNotReady("Warming up", 3);
    return m;
  }();

  struct Case {
    int kind;
    boost::any payload;
    bool texts;    // the flag texts are written
    bool colours;  // the cells take `word`
  };
  const std::vector<Case> cases = {
      {EventKind::ParamsRead, boost::any(), true, false},
      {EventKind::StatusRead, Status(word), false, true},
      {EventKind::CurrentMeasure, measure, false, true},
      {EventKind::ThresholdExceeded, measure, false, true},
      {EventKind::PrethresholdExceeded, measure, false, true},
      {EventKind::ThresholdReduced, measure, false, true},
      {EventKind::MeasureNotReady, notReady, false, true},
      {EventKind::AlgorithmMeasure, Measure(1.5f, "Sv/h", 10, 5, 2, word), false, false},
      {EventKind::Plugged, 0L, false, false},
      {EventKind::CurrentAlgorithmChanged, kalvo_lorim::AlgorithmNumber(2), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "event kind " << c.kind);
    TearDown();
    SetUp();
    Point point(At);
    PointParams params;
    params.SetStatusFlags(builtIn);
    point.HandleEvent(Event(EventKind::ParamsRead, At, params));
    if (c.kind != EventKind::ParamsRead) point.HandleEvent(Event(c.kind, At, c.payload));
    ASSERT_EQ(point.GetLastEvent().GetKind(), c.kind);

    panel->PaintBits(before, builtIn);
    panel->UpdatePanel(point);
    ExpectCells(c.colours ? word : before, builtIn,
                c.texts ? Labels(builtIn) : std::vector<wxString>(16, wxString()));
  }
}

TEST_F(StatusPanelTest, FailedPointBlanksTextsAndNeutralisesCells) {
  const StatusFlagTable builtIn(StatusFlagTable::BuiltIn);
  Point point = PointWithFlags(builtIn);
  panel->UpdatePanel(point);
  point.HandleEvent(Event(EventKind::StatusRead, At, Status(0xFFFF)));
  panel->UpdatePanel(point);
  ASSERT_TRUE(Text(3)->IsThisEnabled());

  panel->ClearPanel(point);
  ExpectCells(0, builtIn, std::vector<wxString>(16, wxString(" ")));
}

TEST(StatusPanelFont, TitleTakesTheTitleSizeUnlessResourceFontsAreKept) {
  for (const bool keep : {false, true}) {
    SCOPED_TRACE(testing::Message() << "keep resource fonts " << keep);
    AppSettings = AppSettingsRecord();
    AppSettings.keepXrcFonts = keep;
    AppSettings.titleFontSize = 23;
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "status");
    PanelStatus* panel = new PanelStatus(frame);
    wxWindow* title = panel->FindWindow(XRCID("ID_STATUS"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->GetFont().GetPointSize() == 23, !keep);
    EXPECT_NE(Box1Font(panel).GetPointSize(), 23);
    frame->Destroy();
  }
}

// The colour of the middle of a window as the X server has it.
bool GrabCentre(wxWindow* window, wxColour& colour) {
  const wxSize size = window->GetSize();
  if (size.x < 4 || size.y < 4) return false;
  wxWindowDC source(window->GetParent());
  wxBitmap bitmap(size.x, size.y);
  wxMemoryDC target(bitmap);
  const wxPoint at = window->GetPosition();
  if (!target.Blit(0, 0, size.x, size.y, &source, at.x, at.y)) return false;
  target.SelectObject(wxNullBitmap);
  const wxImage image = bitmap.ConvertToImage();
  colour = wxColour(image.GetRed(size.x / 2, size.y / 2), image.GetGreen(size.x / 2, size.y / 2),
                    image.GetBlue(size.x / 2, size.y / 2));
  return true;
}

TEST_F(StatusPanelTest, ColourBoxesPaintTheirColourOnScreen) {
  frame->Show();
  frame->Raise();
  frame->Layout();
  panel->PaintBits(0x0021, StatusFlagTable(StatusFlagTable::BuiltIn));
  frame->Update();

  const struct {
    int cell;
    wxColour colour;
  } expected[] = {{1, wxColour(255, 250, 0)}, {6, wxColour(255, 0, 0)}, {2, ButtonFace()}};
  for (const auto& e : expected) {
    SCOPED_TRACE(testing::Message() << "cell " << e.cell);
    wxColour seen;
    const bool painted = guitest::RunLoopUntil(
        [&] {
          frame->Raise();
          return GrabCentre(Box(e.cell), seen) && seen == e.colour;
        },
        5000);
    EXPECT_TRUE(painted) << "seen " << seen.GetAsString(wxC2S_CSS_SYNTAX) << ", wanted "
                         << e.colour.GetAsString(wxC2S_CSS_SYNTAX);
  }
}

// The panel in the real main window, fed by the device thread from the
// simulated point with a flag table of its own.
class StatusInTheWindow : public guitest::SimulatedLineTest {};

TEST_F(StatusInTheWindow, CellsFollowTheStatusWordOfThePoint) {
  sim->SetStatusRows({{"Lid open", 2}, {"Battery low", 1}, {"Heating", 0}});
  sim->SetStatusWord(0x0005);
  frame = new MainFrame();
  PanelStatus* panel = frame->GetPanelStatus();
  auto cell = [&](const char* format, int n) {
    return dynamic_cast<wxStaticText*>(panel->FindWindow(XRCID(wxString::Format(format, n))));
  };
  const int levels[] = {2, 1, 0};
  const wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
  auto shows = [&](std::uint16_t word) {
    for (int n = 1; n <= 16; ++n) {
      const bool set = (word >> (n - 1)) & 1u;
      const wxColour want = !set   ? face
                            : n <= 3 ? StateColours(levels[n - 1]).GetBackground()
                                     : DefaultStateColours.GetBackground();
      if (cell("ID_BMP_BIT_%d", n)->GetBackgroundColour() != want) return false;
      if (cell("ID_TEXT_BIT_%d", n)->IsThisEnabled() != set) return false;
    }
    return true;
  };
  ASSERT_TRUE(guitest::RunLoopUntil(
      [&] { return shows(0x0005) && cell("ID_TEXT_BIT_%d", 1)->GetLabel() == "Lid open"; },
      20000));
  EXPECT_EQ(cell("ID_TEXT_BIT_%d", 2)->GetLabel(), "Battery low");
  EXPECT_EQ(cell("ID_TEXT_BIT_%d", 3)->GetLabel(), "Heating");
  EXPECT_EQ(cell("ID_TEXT_BIT_%d", 4)->GetLabel(), " ");

  // A new word, including a bit the point's table does not describe.
  sim->SetStatusWord(0x0102);
  EXPECT_TRUE(guitest::RunLoopUntil([&] { return shows(0x0102); }, 20000));
}

}  // namespace
