// The algorithms panel against points built with the library's own events,
// posting into a real command queue.

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/choicdlg.h>
#include <wx/frame.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include <vector>

#include "app/appsettings.h"
#include "app/mainframe.h"
#include "pointsim.h"
#include "pty.h"
#include "app/panelalgorithms.h"
#include "gui_support.h"
#include "simulated_line.h"
#include "kalvo_lorim/command.h"
#include "kalvo_lorim/event.h"
#include "kalvo_lorim/measure.h"
#include "kalvo_lorim/point.h"
#include "kalvo_lorim/pointscollection.h"
#include "security/rights.h"

namespace {

using kalvo_lorim::Address;
using kalvo_lorim::Algorithm;
using kalvo_lorim::Event;
using kalvo_lorim::Measure;
using kalvo_lorim::MeasuringAlgorithm;
using kalvo_lorim::Point;

const Address Served(3, 14, 15);
const wxColour Blue(0, 0, 220);
const wxColour Black(0, 0, 0);

std::vector<Algorithm> Algorithms(int count) {
  std::vector<Algorithm> out;
  for (int i = 0; i < count; ++i) {
    Algorithm a;
    a.index = i;
    a.name = wxString::Format("Measurand %d", i + 1);
    a.unit = wxString::Format("unit%d", i + 1);
    out.push_back(a);
  }
  return out;
}

// What a choice dialog offered and how it was answered.
struct Offer {
  wxString title;
  wxString message;
  std::vector<wxString> choices;
  int preselected = -2;
};

template <class T>
T* FindChild(wxWindow* window) {
  for (wxWindow* child : window->GetChildren()) {
    if (auto* found = dynamic_cast<T*>(child)) return found;
    if (T* deeper = FindChild<T>(child)) return deeper;
  }
  return nullptr;
}

bool HasStaticText(wxWindow* window, const wxString& label) {
  for (wxWindow* child : window->GetChildren()) {
    if (auto* text = dynamic_cast<wxStaticText*>(child))
      if (text->GetLabel() == label) return true;
    if (HasStaticText(child, label)) return true;
  }
  return false;
}

// Answers a single-choice dialog with `selection` (wxNOT_FOUND: leave it) and `id`.
guitest::ModalScript::Answer Choose(Offer& offer, int selection, int id = wxID_OK) {
  return [&offer, selection, id](wxDialog* dialog) -> int {
    auto* choice = dynamic_cast<wxSingleChoiceDialog*>(dialog);
    EXPECT_NE(choice, nullptr);
    if (choice == nullptr) return wxID_CANCEL;
    offer.title = choice->GetTitle();
    if (wxListBox* list = FindChild<wxListBox>(choice)) {
      for (unsigned i = 0; i < list->GetCount(); ++i) offer.choices.push_back(list->GetString(i));
    }
    offer.preselected = choice->GetSelection();
    for (const char* message : {"Choose algorithm to restart", "Choose new current algorithm"})
      if (HasStaticText(choice, message)) offer.message = message;
    if (selection != wxNOT_FOUND) choice->SetSelection(selection);
    return id;
  };
}

class AlgorithmsPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppSettings = AppSettingsRecord();
    AppSettings.address = Served;
    security::SetWorkInSystem(false);
    frame = new wxFrame(nullptr, wxID_ANY, "algorithms", wxDefaultPosition, wxSize(760, 300));
    panel = new PanelAlgorithms(frame, &points, &queue);
    list = dynamic_cast<wxListCtrl*>(panel->FindWindow(XRCID("ID_ALGORITHMS")));
    ASSERT_NE(list, nullptr);
  }
  void TearDown() override {
    frame->Destroy();
    security::SetWorkInSystem(false);
    security::CurrentUser = security::UserRecord();
    security::SetCurrentPointAccess(security::PointAccess());
  }

  wxButton* Button(const char* name) const {
    return dynamic_cast<wxButton*>(panel->FindWindow(XRCID(name)));
  }
  void Click(const char* name) {
    wxCommandEvent click(wxEVT_BUTTON, XRCID(name));
    click.SetEventObject(Button(name));
    panel->GetEventHandler()->ProcessEvent(click);
  }

  void Feed(int kind, const boost::any& payload) {
    ASSERT_TRUE(point.HandleEvent(Event(kind, Served, payload)));
    panel->UpdatePanel(point);
  }
  void FeedAlgorithms(int count) { Feed(EventKind::AlgorithmsRead, Algorithms(count)); }
  void FeedMeasure(float value, std::uint32_t time, std::uint8_t uncertainty, int number) {
    Feed(EventKind::AlgorithmMeasure, Measure(value, "Sv/h", time, uncertainty, number, 0));
  }

  std::vector<Command> Taken() {
    std::vector<Command> out;
    Command command;
    while (queue.Take(Served, command)) out.push_back(command);
    return out;
  }
  wxString Cell(long row, int column) const { return list->GetItemText(row, column); }

  kalvo_lorim::PointsCollection points;
  CommandQueue queue;
  Point point{Served};
  wxFrame* frame = nullptr;
  PanelAlgorithms* panel = nullptr;
  wxListCtrl* list = nullptr;
};

TEST_F(AlgorithmsPanelTest, StartsWithSixColumnsNoRowsAndDisabledButtons) {
  const char* headings[] = {"#", "Measurand", "Unit", "Result", "Time, s",
                            "Measurement uncertainty, %"};
  ASSERT_EQ(list->GetColumnCount(), 6);
  for (int c = 0; c < 6; ++c) {
    wxListItem column;
    column.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_FORMAT);
    ASSERT_TRUE(list->GetColumn(c, column));
    EXPECT_EQ(column.GetText(), headings[c]);
    EXPECT_EQ(column.GetAlign(), wxLIST_FORMAT_LEFT);
  }
  EXPECT_EQ(list->GetItemCount(), 0);
  for (const char* name : {"ID_RESTART_ALL", "ID_RESTART_MEASURES", "ID_SET_CURRENT_ALGORITHM"})
    EXPECT_FALSE(Button(name)->IsEnabled()) << name;
}

TEST_F(AlgorithmsPanelTest, RowsShowTheAlgorithmsAndTheCurrentOneInBlue) {
  AppSettings.currentAlgorithm = 2;
  FeedAlgorithms(3);
  ASSERT_EQ(list->GetItemCount(), 3);
  for (long row = 0; row < 3; ++row) {
    SCOPED_TRACE(testing::Message() << "row " << row);
    EXPECT_EQ(Cell(row, 0), wxString::Format("%ld", row + 1));
    EXPECT_EQ(Cell(row, 1), wxString::Format("Measurand %ld", row + 1));
    EXPECT_EQ(Cell(row, 2), wxString::Format("unit%ld", row + 1));
    for (int c = 3; c < 6; ++c) EXPECT_EQ(Cell(row, c), "");
  }
  EXPECT_EQ(list->GetItemTextColour(1), Blue);
  EXPECT_NE(list->GetItemTextColour(0), Blue);
  EXPECT_NE(list->GetItemTextColour(2), Blue);

  // No current algorithm: no row is blue.
  AppSettings.currentAlgorithm = 0;
  FeedAlgorithms(3);
  for (long row = 0; row < 3; ++row) EXPECT_NE(list->GetItemTextColour(row), Blue) << row;
}

TEST_F(AlgorithmsPanelTest, MeasuresFillTheRowOfTheirAlgorithm) {
  FeedAlgorithms(3);
  const struct {
    float value;
    std::uint32_t time;
    std::uint8_t uncertainty;
    int number;
    const char* result;
    const char* timeText;
    const char* uncertaintyText;
  } cases[] = {
      {1.23456f, 30, 7, 1, "1.23", "30", "7"},
      {kalvo_lorim::NoMeasureValue, 0, 255, 2, "-667", "0", "255"},
      {12345.6f, 4000000000u, 0, 3, "1.23e+04", "-294967296", "0"},
      {0.000123f, 5, 100, 3, "0.000123", "5", "100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "algorithm " << c.number << " value " << c.value);
    FeedMeasure(c.value, c.time, c.uncertainty, c.number);
    EXPECT_EQ(Cell(c.number - 1, 3), c.result);
    EXPECT_EQ(Cell(c.number - 1, 4), c.timeText);
    EXPECT_EQ(Cell(c.number - 1, 5), c.uncertaintyText);
  }

  // Numbers without a row, the current measure's 0, and the current measure
  // itself (kind 5) leave every row as it was.
  std::vector<std::vector<wxString>> before;
  auto snapshot = [&] {
    std::vector<std::vector<wxString>> rows;
    for (long row = 0; row < list->GetItemCount(); ++row) {
      rows.emplace_back();
      for (int c = 0; c < 6; ++c) rows.back().push_back(Cell(row, c));
    }
    return rows;
  };
  before = snapshot();
  FeedMeasure(9.0f, 1, 1, 0);
  FeedMeasure(9.0f, 1, 1, 4);
  FeedMeasure(9.0f, 1, 1, 200);
  Feed(EventKind::CurrentMeasure, Measure(9.0f, "Sv/h", 1, 1, 1, 0));
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(list->GetItemCount(), 3);

  // Reading the algorithms again rebuilds the rows without their measures.
  FeedAlgorithms(3);
  ASSERT_EQ(list->GetItemCount(), 3);
  for (long row = 0; row < 3; ++row)
    for (int c = 3; c < 6; ++c) EXPECT_EQ(Cell(row, c), "") << row << "," << c;
}

TEST_F(AlgorithmsPanelTest, RestartAllPostsAllAlgorithms) {
  FeedAlgorithms(3);
  Click("ID_RESTART_ALL");
  const std::vector<Command> taken = Taken();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].kind, CommandKind::RestartMeasures);
  EXPECT_EQ(taken[0].address, Served);
  EXPECT_EQ(boost::any_cast<MeasuringAlgorithm>(taken[0].argument), MeasuringAlgorithm::All);
}

TEST_F(AlgorithmsPanelTest, RestartChoiceOffersCurrentEveryAlgorithmAndAll) {
  const struct {
    int algorithms;
    int selection;
    int answer;
    int posted;  // -1: nothing
  } cases[] = {
      {3, 0, wxID_OK, 0},      {3, 1, wxID_OK, 1},    {3, 3, wxID_OK, 3},
      {3, 4, wxID_OK, 255},    {3, 2, wxID_CANCEL, -1},
      {20, 17, wxID_OK, 17},   {20, 20, wxID_OK, 20}, {20, 21, wxID_OK, 255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.algorithms << " algorithms, choice " << c.selection);
    FeedAlgorithms(c.algorithms);
    Offer offer;
    {
      guitest::ModalScript script;
      script.Then(Choose(offer, c.selection, c.answer));
      Click("ID_RESTART_MEASURES");
      EXPECT_EQ(script.Pending(), 0u);
    }
    EXPECT_EQ(offer.title, "Restart algorithm");
    EXPECT_EQ(offer.message, "Choose algorithm to restart");
    ASSERT_EQ(offer.choices.size(), static_cast<std::size_t>(c.algorithms + 2));
    EXPECT_EQ(offer.choices.front(), "Current algorithm");
    EXPECT_EQ(offer.choices.back(), "All algorithms");
    for (int k = 1; k <= c.algorithms; ++k)
      EXPECT_EQ(offer.choices[k], wxString::Format("Measurand %d", k));

    const std::vector<Command> taken = Taken();
    if (c.posted < 0) {
      EXPECT_TRUE(taken.empty());
      continue;
    }
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].kind, CommandKind::RestartMeasures);
    EXPECT_EQ(taken[0].address, Served);
    EXPECT_EQ(static_cast<int>(boost::any_cast<MeasuringAlgorithm>(taken[0].argument)), c.posted);
  }
}

// Both choice dialogs, shown for real: every row is in sight without
// scrolling, for up to 16 algorithms and the two fixed rows, and the dialog
// stays on the screen. A point with more rows than the screen holds gets a
// list that scrolls, and its buttons stay on the screen.
TEST_F(AlgorithmsPanelTest, ChoiceDialogsShowEveryRow) {
  frame->Show();
  const wxRect screen = wxGetClientDisplayRect();
  for (const char* button : {"ID_RESTART_MEASURES", "ID_SET_CURRENT_ALGORITHM"}) {
    for (int algorithms : {1, 3, 8, 16, 100}) {
      SCOPED_TRACE(testing::Message() << button << ", " << algorithms << " algorithms");
      FeedAlgorithms(algorithms);
      int rows = 0, inSight = 0;
      wxRect shown, ok;
      guitest::ModalScript script;
      script.Then(guitest::ShowAndDrive([&](wxDialog* dialog) {
        wxListBox* list = FindChild<wxListBox>(dialog);
        ASSERT_NE(list, nullptr);
        rows = static_cast<int>(list->GetCount());
        // GTK's own count of the rows its list has room for, once drawn.
        EXPECT_TRUE(guitest::RunLoopUntil([&] { return list->GetCountPerPage() > 0; }, 5000));
        inSight = list->GetCountPerPage();
        shown = dialog->GetScreenRect();
        ok = dialog->FindWindow(wxID_OK)->GetScreenRect();
        dialog->EndModal(wxID_CANCEL);
      }));
      Click(button);
      EXPECT_EQ(script.Pending(), 0u);
      if (algorithms <= 16) {
        EXPECT_GE(inSight, rows);
      }
      EXPECT_TRUE(screen.Contains(shown)) << shown.x << "," << shown.y << " " << shown.width << "x" << shown.height;
      EXPECT_TRUE(shown.Contains(ok)) << "OK at " << ok.x << "," << ok.y << " " << ok.width << "x" << ok.height;
    }
  }
}

// A double click on a row chooses it, as OK does.
TEST_F(AlgorithmsPanelTest, DoubleClickOnARowChoosesIt) {
  frame->Show();
  FeedAlgorithms(3);
  guitest::ModalScript script;
  script.Then(guitest::ShowAndDrive([&](wxDialog* dialog) {
    wxListBox* list = FindChild<wxListBox>(dialog);
    ASSERT_NE(list, nullptr);
    list->SetSelection(2);
    wxCommandEvent twice(wxEVT_LISTBOX_DCLICK, list->GetId());
    twice.SetEventObject(list);
    twice.SetInt(2);
    list->GetEventHandler()->ProcessEvent(twice);
  }));
  Click("ID_RESTART_MEASURES");
  const std::vector<Command> taken = Taken();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(static_cast<int>(boost::any_cast<MeasuringAlgorithm>(taken[0].argument)), 2);
}

TEST_F(AlgorithmsPanelTest, SetCurrentPostsTheChoiceAndRecoloursAtOnce) {
  const struct {
    int algorithms;
    int current;      // AppSettings.currentAlgorithm before
    int preselected;  // what the dialog shows selected
    int selection;    // wxNOT_FOUND: OK without touching the selection
    int answer;
    int posted;  // -1: nothing; else the number, also the new current one
  } cases[] = {
      {3, 1, 0, 2, wxID_OK, 3},
      {3, 2, 1, 1, wxID_OK, 2},  // already current: posted anyway, stays blue
      {3, 2, 1, 0, wxID_CANCEL, -1},
      {3, 0, wxNOT_FOUND, 1, wxID_OK, 2},
      {3, 0, wxNOT_FOUND, wxNOT_FOUND, wxID_OK, -1},  // OK without a choice
      {3, 7, wxNOT_FOUND, wxNOT_FOUND, wxID_OK, -1},
      {20, 3, 2, 18, wxID_OK, 19},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.algorithms << " algorithms, current " << c.current
                                    << ", choice " << c.selection);
    AppSettings.currentAlgorithm = c.current;
    FeedAlgorithms(c.algorithms);
    std::vector<wxColour> colours;
    for (long row = 0; row < list->GetItemCount(); ++row)
      colours.push_back(list->GetItemTextColour(row));

    Offer offer;
    {
      guitest::ModalScript script;
      script.Then(Choose(offer, c.selection, c.answer));
      Click("ID_SET_CURRENT_ALGORITHM");
      EXPECT_EQ(script.Pending(), 0u);
    }
    EXPECT_EQ(offer.title, "Current algorithm");
    EXPECT_EQ(offer.message, "Choose new current algorithm");
    ASSERT_EQ(offer.choices.size(), static_cast<std::size_t>(c.algorithms));
    for (int k = 0; k < c.algorithms; ++k)
      EXPECT_EQ(offer.choices[k], wxString::Format("Measurand %d", k + 1));
    EXPECT_EQ(offer.preselected, c.preselected);

    const std::vector<Command> taken = Taken();
    if (c.posted < 0) {
      EXPECT_TRUE(taken.empty());
      EXPECT_EQ(AppSettings.currentAlgorithm, c.current);
      for (long row = 0; row < list->GetItemCount(); ++row)
        EXPECT_EQ(list->GetItemTextColour(row), colours[row]) << "row " << row;
      continue;
    }
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].kind, CommandKind::SetCurrentAlgorithm);
    EXPECT_EQ(taken[0].address, Served);
    EXPECT_EQ(static_cast<int>(boost::any_cast<MeasuringAlgorithm>(taken[0].argument)), c.posted);
    EXPECT_EQ(AppSettings.currentAlgorithm, c.posted);
    for (long row = 0; row < list->GetItemCount(); ++row) {
      SCOPED_TRACE(testing::Message() << "row " << row);
      if (row == c.posted - 1)
        EXPECT_EQ(list->GetItemTextColour(row), Blue);
      else if (row == c.current - 1)
        EXPECT_EQ(list->GetItemTextColour(row), Black);
      else
        EXPECT_EQ(list->GetItemTextColour(row), colours[row]);
    }
  }
}

TEST_F(AlgorithmsPanelTest, FailedPointEmptiesAFullListOnly) {
  // No algorithms at all: the buttons are set, the list stays empty, and a
  // failed point leaves them as they are.
  FeedAlgorithms(0);
  EXPECT_TRUE(Button("ID_RESTART_ALL")->IsEnabled());
  panel->ClearPanel(point);
  EXPECT_TRUE(Button("ID_RESTART_ALL")->IsEnabled());
  EXPECT_TRUE(Button("ID_RESTART_MEASURES")->IsEnabled());
  EXPECT_TRUE(Button("ID_SET_CURRENT_ALGORITHM")->IsEnabled());

  FeedAlgorithms(3);
  panel->ClearPanel(point);
  EXPECT_EQ(list->GetItemCount(), 0);
  for (const char* name : {"ID_RESTART_ALL", "ID_RESTART_MEASURES", "ID_SET_CURRENT_ALGORITHM"})
    EXPECT_FALSE(Button(name)->IsEnabled()) << name;
}

TEST_F(AlgorithmsPanelTest, DisabledButtonsPostNothing) {
  // Reached while disabled (by an accelerator, say): no dialog, no command.
  guitest::ModalScript script;
  for (const char* name : {"ID_RESTART_ALL", "ID_RESTART_MEASURES", "ID_SET_CURRENT_ALGORITHM"})
    Click(name);
  EXPECT_TRUE(script.Shown().empty());
  EXPECT_TRUE(Taken().empty());
}

TEST_F(AlgorithmsPanelTest, ButtonsFollowTheRightsInWorkInSystemMode) {
  const struct {
    bool inSystem;
    int rights;
    security::AccessMap access;
    bool restart;
    bool setCurrent;
  } cases[] = {
      {false, 0, {}, true, true},
      {true, security::AllRights(), {}, true, true},
      {true, 0x20, {{21, true}}, true, false},           // restart measure only
      {true, 0x02, {{21, true}}, false, true},           // edit params, variable 21 allowed
      {true, 0x02 | 0x20, {{21, false}}, true, false},   // variable 21 refused
      {true, 0x02, {{17, true}}, false, false},          // another variable allowed
      {true, 0x01, {{21, true}}, false, false},          // view only
      {true, 0, {}, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "in system " << c.inSystem << ", rights " << c.rights);
    security::SetWorkInSystem(c.inSystem);
    security::CurrentUser = security::UserRecord("operator", "secret", c.rights);
    security::PointAccess access;
    access.SetAccessMap(c.access);
    security::SetCurrentPointAccess(access);
    FeedAlgorithms(3);
    EXPECT_EQ(Button("ID_RESTART_ALL")->IsEnabled(), c.restart);
    EXPECT_EQ(Button("ID_RESTART_MEASURES")->IsEnabled(), c.restart);
    EXPECT_EQ(Button("ID_SET_CURRENT_ALGORITHM")->IsEnabled(), c.setCurrent);
  }
}

TEST(AlgorithmsPanelFont, TitleTakesTheTitleSizeUnlessResourceFontsAreKept) {
  for (const bool keep : {false, true}) {
    SCOPED_TRACE(testing::Message() << "keep resource fonts " << keep);
    AppSettings = AppSettingsRecord();
    AppSettings.keepXrcFonts = keep;
    AppSettings.titleFontSize = 23;
    CommandQueue queue;
    kalvo_lorim::PointsCollection points;
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "algorithms");
    PanelAlgorithms* panel = new PanelAlgorithms(frame, &points, &queue);
    wxWindow* title = panel->FindWindow(XRCID("ID_ALGO"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->GetFont().GetPointSize() == 23, !keep);
    EXPECT_NE(panel->FindWindow(XRCID("ID_RESTART_ALL"))->GetFont().GetPointSize(), 23);
    frame->Destroy();
  }
}

TEST_F(AlgorithmsPanelTest, ColumnsShareTheWidthLessTheScrollBar) {
  const int v = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, list);
  ASSERT_GT(v, 0);
  list->SetClientSize(700 + v, 150);
  ASSERT_EQ(list->GetClientSize().GetWidth(), 700 + v);
  panel->ResizeColumns();
  const int widths[] = {20, 250, 100, 130, 110, 100};
  for (int c = 0; c < 6; ++c) EXPECT_EQ(list->GetColumnWidth(c), widths[c]) << "column " << c;

  // A resize of the panel brings the columns along.
  frame->SetClientSize(900, 300);
  panel->SetSize(frame->GetClientSize());
  guitest::RunLoopUntil([&] { return list->GetColumnWidth(1) != 250; }, 2000);
  const int u = (list->GetClientSize().GetWidth() - v) / 70;
  EXPECT_EQ(list->GetColumnWidth(1), 25 * u);
}

// The panel in the real main window, fed by the device thread from the
// simulated point (two algorithms: "Temperature" 21.5 °C, "Pressure" 101.3 kPa).
class AlgorithmsInTheWindow : public guitest::SimulatedLineTest {
 protected:
  void SetUp() override {
    guitest::SimulatedLineTest::SetUp();
    security::SetWorkInSystem(false);
  }
};

TEST_F(AlgorithmsInTheWindow, RowsFillAndFollowTheMeasuresOfTheCycle) {
  frame = new MainFrame();
  auto* list =
      dynamic_cast<wxListCtrl*>(frame->GetPanelAlgorithms()->FindWindow(XRCID("ID_ALGORITHMS")));
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(guitest::RunLoopUntil(
      [&] {
        return list->GetItemCount() == 2 && !list->GetItemText(0, 3).empty() &&
               !list->GetItemText(1, 3).empty();
      },
      20000));
  EXPECT_EQ(list->GetItemText(0, 1), "Temperature");
  EXPECT_EQ(list->GetItemText(0, 2), wxString::FromUTF8("°C"));
  EXPECT_EQ(list->GetItemText(0, 3), "21.5");
  EXPECT_EQ(list->GetItemText(1, 1), "Pressure");
  EXPECT_EQ(list->GetItemText(1, 3), "101");

  // A new value of the second algorithm shows at its next turn in the cycle.
  sim->SetAlgorithm(1, "Pressure", "kPa", 99.5f, 42, 3);
  EXPECT_TRUE(guitest::RunLoopUntil(
      [&] { return list->GetItemText(1, 3) == "99.5" && list->GetItemText(1, 4) == "42"; },
      20000))
      << list->GetItemText(1, 3);
  EXPECT_EQ(list->GetItemText(1, 5), "3");
  EXPECT_EQ(list->GetItemText(0, 3), "21.5");

  // Restart all reaches the point as the restart variable with 255.
  wxButton* restartAll =
      dynamic_cast<wxButton*>(frame->GetPanelAlgorithms()->FindWindow(XRCID("ID_RESTART_ALL")));
  ASSERT_TRUE(restartAll != nullptr && restartAll->IsEnabled());
  wxCommandEvent click(wxEVT_BUTTON, restartAll->GetId());
  click.SetEventObject(restartAll);
  frame->GetPanelAlgorithms()->GetEventHandler()->ProcessEvent(click);
  ASSERT_TRUE(guitest::RunLoopUntil([&] { return !Writes(25).empty(); }, 10000));
  EXPECT_EQ(Writes(25).front(), pointsim::Bytes{255});
}

}  // namespace
