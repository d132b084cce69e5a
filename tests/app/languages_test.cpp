// The three languages as the operator sees them: the real program started in
// each, polling a simulated point, and every fixed text of the four panels and
// of the options dialog read back from the controls. Each must be the catalog's
// translation; in Russian and Ukrainian none may be left in English.

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/radiobox.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/translation.h>
#include <wx/xrc/xmlres.h>

#include "app/app.h"
#include "app/mainframe.h"
#include "app/panelalgorithms.h"
#include "app/panelinfo.h"
#include "app/panelparamsblock.h"
#include "app/panelstatus.h"
#include "app_run.h"
#include "gui_support.h"
#include "simulated_line.h"

namespace {

namespace fs = std::filesystem;

const std::string RunFolder = fs::path(KALVO_CHECKER_PROGRAM).parent_path().string();
const char* const Domain = "KALVO_Checker";
const char* const ToolkitDomain = "wxstd-3.2";

// --- What a window shows ----------------------------------------------------

enum class Kind { Title, StaticText, Button, CheckBox, StaticBox, RadioBox, RadioItem, ChoiceItem, Column, Cell };

const char* KindName(Kind k) {
  switch (k) {
    case Kind::Title: return "title";
    case Kind::StaticText: return "static text";
    case Kind::Button: return "button";
    case Kind::CheckBox: return "check box";
    case Kind::StaticBox: return "box label";
    case Kind::RadioBox: return "radio box label";
    case Kind::RadioItem: return "radio item";
    case Kind::ChoiceItem: return "choice item";
    case Kind::Column: return "column header";
    case Kind::Cell: return "list cell";
  }
  return "?";
}

struct Shown {
  Kind kind;
  wxString name;  // the resource name of the control, empty when it has none
  int index;      // column, item or row; 0 for single texts
  int column;     // list cells only
  wxString text;
};

void Collect(wxWindow* w, std::vector<Shown>& out) {
  const wxString name = w->GetName();
  const auto add = [&](Kind kind, const wxString& text, int index = 0, int column = 0) {
    out.push_back({kind, name, index, column, text});
  };
  if (auto* list = dynamic_cast<wxListCtrl*>(w)) {
    for (int c = 0; c < list->GetColumnCount(); ++c) {
      wxListItem item;
      item.SetMask(wxLIST_MASK_TEXT);
      list->GetColumn(c, item);
      add(Kind::Column, item.GetText(), c);
      for (long r = 0; r < list->GetItemCount(); ++r) add(Kind::Cell, list->GetItemText(r, c), r, c);
    }
    return;  // its inner windows are the list's own
  } else if (auto* box = dynamic_cast<wxRadioBox*>(w)) {
    add(Kind::RadioBox, box->GetLabel());
    for (unsigned i = 0; i < box->GetCount(); ++i) add(Kind::RadioItem, box->GetString(i), i);
  } else if (auto* choice = dynamic_cast<wxChoice*>(w)) {
    for (unsigned i = 0; i < choice->GetCount(); ++i) add(Kind::ChoiceItem, choice->GetString(i), i);
  } else if (dynamic_cast<wxStaticBox*>(w)) {
    add(Kind::StaticBox, w->GetLabel());
  } else if (dynamic_cast<wxCheckBox*>(w)) {
    add(Kind::CheckBox, w->GetLabel());
  } else if (dynamic_cast<wxButton*>(w)) {
    add(Kind::Button, w->GetLabel());
  } else if (dynamic_cast<wxStaticText*>(w)) {
    add(Kind::StaticText, w->GetLabel());
  }
  for (wxWindow* child : w->GetChildren()) Collect(child, out);
}

std::vector<Shown> TextsOf(wxWindow* w) {
  std::vector<Shown> out;
  if (w->IsTopLevel()) out.push_back({Kind::Title, w->GetName(), 0, 0, w->GetLabel()});
  for (wxWindow* child : w->GetChildren()) Collect(child, out);
  return out;
}

// --- What it must show ------------------------------------------------------

struct Expected {
  Kind kind;
  const char* name;  // null: any control of the kind (those without a name)
  int index;
  const char* key;   // the English text
  const char* domain = Domain;
  int column = 0;    // list cells only
};

Expected Cell(const char* list, int row, const char* key) { return {Kind::Cell, list, row, key, Domain, 0}; }

struct Surface {
  const char* name;
  std::vector<Expected> texts;
};

std::vector<Surface> Surfaces() {
  const Kind T = Kind::StaticText, B = Kind::Button, C = Kind::Column;
  return {
      {"info panel", {{B, "ID_CONFIG", 0, "Parameters..."}}},
      {"algorithms panel",
       {{T, "ID_ALGO", 0, "Measuring data"},
        {B, "ID_RESTART_ALL", 0, "Restart all  F4"},
        {B, "ID_RESTART_MEASURES", 0, "Restart measures...  F5"},
        {B, "ID_SET_CURRENT_ALGORITHM", 0, "Set current algorithm..."},
        {C, "ID_ALGORITHMS", 0, "#"},
        {C, "ID_ALGORITHMS", 1, "Measurand"},
        {C, "ID_ALGORITHMS", 2, "Unit"},
        {C, "ID_ALGORITHMS", 3, "Result"},
        {C, "ID_ALGORITHMS", 4, "Time, s"},
        {C, "ID_ALGORITHMS", 5, "Measurement uncertainty, %"}}},
      {"status panel", {{T, "ID_STATUS", 0, "Device status"}}},
      {"params panel",
       {{T, "ID_PARAMS", 0, "Device parameters"},
        {T, nullptr, 0, "Static parameters"},
        {T, nullptr, 0, "Dynamic parameters"},
        {B, "ID_SET_FACTORY_NO", 0, "Factory number..."},
        {B, "ID_SET_DATE", 0, "Device date/time..."},
        {B, "ID_SET_DEVICE_LOCALE", 0, "Set device language..."},
        {B, "ID_SET_VOLUME_LEVEL", 0, "Set volume level..."},
        {B, "ID_SET_ADDRESS", 0, "Set address..."},
        {B, "ID_GET_PARAMS", 0, "Get parameters  F3"},
        {B, "ID_SET_PARAMETERS", 0, "Set parameters  F2"},
        {C, "ID_STATIC_PARAMS", 0, "Parameter"},
        {C, "ID_STATIC_PARAMS", 1, "Parameter point"},
        {C, "ID_DYNAMIC_PARAMS", 0, "New value"},
        {C, "ID_DYNAMIC_PARAMS", 1, "Parameter"},
        {C, "ID_DYNAMIC_PARAMS", 2, "Parameter point"},
        Cell("ID_STATIC_PARAMS", 0, "Device address"),
        Cell("ID_STATIC_PARAMS", 1, "Device"),
        Cell("ID_STATIC_PARAMS", 2, "Device code"),
        Cell("ID_STATIC_PARAMS", 3, "Firmware version"),
        Cell("ID_STATIC_PARAMS", 4, "Configuration date"),
        Cell("ID_STATIC_PARAMS", 5, "Assembly date"),
        Cell("ID_STATIC_PARAMS", 6, "Device date/time"),
        Cell("ID_STATIC_PARAMS", 7, "Volume level"),
        Cell("ID_STATIC_PARAMS", 8, "Current device language"),
        Cell("ID_STATIC_PARAMS", 9, "Factory number")}},
      {"options dialog",
       {{Kind::Title, nullptr, 0, "Parameters"},
        {Kind::StaticBox, nullptr, 0, "Serial port"},
        {Kind::StaticBox, nullptr, 0, "Baud rate"},
        {Kind::CheckBox, "ID_USE_ADVANCED", 0, "Advanced"},
        {Kind::StaticBox, nullptr, 0, "Timeout"},
        {T, nullptr, 0, "Wait receiver timeout"},
        {Kind::RadioBox, "ID_RADIO_REGIM", 0, "Exchange mode"},
        {Kind::RadioItem, "ID_RADIO_REGIM", 0, "Broadcast mode"},
        {Kind::RadioItem, "ID_RADIO_REGIM", 1, "Direct address mode"},
        {T, "ID_STATIC_ADDRESS", 0, "Enter address:"},
        {Kind::StaticBox, nullptr, 0, "Count digit in dynamic parameters"},
        {Kind::StaticBox, nullptr, 0, "Language"},
        {Kind::StaticBox, nullptr, 0, "Display inforamation in data window:"},
        {Kind::ChoiceItem, "ID_COMBO_SCALED_VIEW", 0, "engineer form"},
        {Kind::ChoiceItem, "ID_COMBO_SCALED_VIEW", 1, "fractional coefficients"},
        {B, "wxID_OK", 0, "&OK", ToolkitDomain},
        {B, "wxID_CANCEL", 0, "&Cancel", ToolkitDomain}}},
  };
}

bool Matches(const Shown& s, const Expected& e) {
  if (s.kind != e.kind) return false;
  return !e.name || (s.name == e.name && s.index == e.index && s.column == e.column);
}

wxString Join(const std::vector<Shown>& shown, Kind kind) {
  wxString all;
  for (const Shown& s : shown) {
    if (s.kind == kind) all += "\n  [" + s.name + "] \"" + s.text + "\"";
  }
  return all;
}

// Texts the point sends (its status flag texts, measurands, units, parameter
// names and values) are shown as sent, in the point's own language.
bool FromPoint(const Shown& s) {
  if (s.name.StartsWith("ID_TEXT_BIT_")) return true;
  if (s.kind != Kind::Cell) return false;
  return (s.name == "ID_ALGORITHMS" && (s.column == 1 || s.column == 2)) ||
         (s.name == "ID_DYNAMIC_PARAMS" && s.column >= 1);
}

// The translation in the domain, or null when the domain lacks the text.
const wxString* Catalog(const wxString& key, const char* domain) {
  return wxTranslations::Get() ? wxTranslations::Get()->GetTranslatedString(key, domain) : nullptr;
}

// --- The table of languages -------------------------------------------------

struct LanguageCase {
  const char* name;
  bool translated;  // the program's catalogs are loaded
};

void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.name; }

class Languages : public guitest::SimulatedLineTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(Languages, EveryFixedTextIsTheCatalogsAndNoneIsLeftInEnglish) {
  const LanguageCase& c = GetParam();
  // The default line settings (COM1, 9600, 255.255.255) reach the point.
  guitest::StartFolder folder(RunFolder, std::string("[i18n]\nLanguage=") + c.name + "\n");
  std::vector<std::pair<const char*, std::vector<Shown>>> seen;
  {
    guitest::ModalScript dialogs;
    dialogs.Then([&](wxDialog* dialog) {
      seen.emplace_back("options dialog", TextsOf(dialog));
      return wxID_CANCEL;
    });
    guitest::AppRun app({});
    ASSERT_TRUE(app->OnInit());
    MainFrame* frame = guitest::FindMainFrame();
    ASSERT_NE(frame, nullptr);
    // Polling: the static parameters and the algorithms are on screen.
    const auto polled = [&] {
      auto* params = dynamic_cast<wxListCtrl*>(frame->FindWindow(XRCID("ID_STATIC_PARAMS")));
      auto* algorithms = dynamic_cast<wxListCtrl*>(frame->FindWindow(XRCID("ID_ALGORITHMS")));
      return params && algorithms && params->GetItemCount() >= 10 && algorithms->GetItemCount() >= 2;
    };
    ASSERT_TRUE(guitest::RunLoopUntil(polled, 15000)) << "the window does not poll the point";

    seen.emplace_back("info panel", TextsOf(frame->GetPanelInfo()));
    seen.emplace_back("algorithms panel", TextsOf(frame->GetPanelAlgorithms()));
    seen.emplace_back("status panel", TextsOf(frame->GetPanelStatus()));
    seen.emplace_back("params panel", TextsOf(frame->GetPanelParamsBlock()));

    // The options dialog as the operator opens it, with the panel's button.
    wxWindow* config = frame->FindWindow(XRCID("ID_CONFIG"));
    ASSERT_NE(config, nullptr);
    wxCommandEvent click(wxEVT_BUTTON, config->GetId());
    click.SetEventObject(config);
    config->GetEventHandler()->ProcessEvent(click);
    EXPECT_EQ(dialogs.Pending(), 0u) << "the options dialog did not open";

    // The texts are checked while the catalogs are still loaded.
    for (const Surface& surface : Surfaces()) {
      SCOPED_TRACE(surface.name);
      const std::vector<Shown>* shown = nullptr;
      for (const auto& s : seen) {
        if (std::string(s.first) == surface.name) shown = &s.second;
      }
      ASSERT_NE(shown, nullptr) << "not seen";
      for (const Expected& e : surface.texts) {
        const wxString want = wxGetTranslation(e.key, e.domain);
        const wxString* own = Catalog(e.key, e.domain);
        if (c.translated) {
          // Present, the label must then equal the translation; a catalog
          // may keep a text as it is ("...", the title).
          EXPECT_TRUE(own != nullptr) << KindName(e.kind) << " \"" << e.key << "\": not in the catalog "
                                      << e.domain << ", so it stays English";
        } else {
          EXPECT_EQ(want, e.key);
        }
        bool found = false;
        for (const Shown& s : *shown) {
          if (!Matches(s, e)) continue;
          if (e.name) {
            found = true;
            EXPECT_EQ(s.text, want) << KindName(e.kind) << " " << e.name << " #" << e.index << " shows \""
                                    << s.text << "\" for \"" << e.key << "\"";
          } else {
            found = found || s.text == want;
          }
        }
        EXPECT_TRUE(found) << "no " << KindName(e.kind) << (e.name ? std::string(" ") + e.name : std::string())
                           << " shows \"" << want << "\" (\"" << e.key << "\"); the " << KindName(e.kind)
                           << "s are:" << Join(*shown, e.kind);
      }
      // Whatever else the surface shows (texts from the point, state texts):
      // in a translated language none is an English text the catalogs have.
      if (c.translated) {
        for (const Shown& s : *shown) {
          if (s.text.empty() || FromPoint(s)) continue;
          for (const char* domain : {Domain, "kalvo_lorim", "security"}) {
            const wxString* own = Catalog(s.text, domain);
            EXPECT_TRUE(!own || *own == s.text)
                << KindName(s.kind) << " [" << s.name << "] #" << s.index << " is still English: \"" << s.text
                << "\" (" << domain << ": \"" << *own << "\")";
          }
        }
      }
    }
    app.Close();
  }
}

INSTANTIATE_TEST_SUITE_P(Table, Languages,
                         ::testing::Values(LanguageCase{"russian", true}, LanguageCase{"ukrainian", true},
                                           LanguageCase{"english", false}),
                         [](const ::testing::TestParamInfo<LanguageCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
