// The built-in window resources: every object builds and lays out without a
// complaint from the toolkit, and holds the controls, texts and looks that
// the window classes rely on.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/filesys.h>
#include <wx/fontenum.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/log.h>
#include <wx/panel.h>
#include <wx/radiobox.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/sstream.h>
#include <wx/statbox.h>
#include <wx/stockitem.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

namespace {

// The XRC loader of wx 3.2 reports sizer flags it refuses as errors in the
// log (a message box in the program) rather than as assertions: collect
// every warning and error while a test runs.
class ComplaintLog : public wxLog {
 public:
  ComplaintLog() : old_(wxLog::SetActiveTarget(this)) {}
  ~ComplaintLog() override { wxLog::SetActiveTarget(old_); }
  const std::vector<std::string>& Messages() const { return messages_; }
  void Clear() { messages_.clear(); }

 protected:
  void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&) override {
    if (level <= wxLOG_Warning) messages_.push_back(msg.utf8_string());
  }

 private:
  wxLog* old_;
  std::vector<std::string> messages_;
};

struct ObjectRow {
  const char* name;
  bool dialog;
  const char* title;  // dialogs
  long border;        // panels: the border style bit
};

const ObjectRow kObjects[] = {
    {"DLG_FACTORY_NO", true, "Factory number", 0},
    {"ID_DLG_OPTION_SYSTEM", true, "Parameters", 0},
    {"DLG_LOGIN_USER", true, "Login user", 0},
    {"ID_PANEL_STATUS", false, nullptr, wxSUNKEN_BORDER},
    {"ID_PANEL_INFO", false, nullptr, wxRAISED_BORDER},
    {"ID_PANEL_ALGORITHMS", false, nullptr, wxSUNKEN_BORDER},
    {"ID_PANEL_PARAMS", false, nullptr, wxSUNKEN_BORDER},
    {"ID_DLG_OPTION", true, "Parameters", 0},
    {"ID_DLG_VOLUME_LEVEL", true, "Volume level", 0},
};

class Resources : public ::testing::Test {
 protected:
  void SetUp() override { frame_ = new wxFrame(nullptr, wxID_ANY, "resources", wxDefaultPosition, wxSize(1000, 700)); }
  void TearDown() override {
    for (wxWindow* w : built_) w->Destroy();
    frame_->Destroy();
    EXPECT_TRUE(log_.Messages().empty()) << "first complaint: " << log_.Messages().front();
  }

  // Builds an object as its window class does: panels into the frame,
  // dialogs with the frame as parent; then lays it out.
  wxWindow* Build(const char* name) {
    const bool dialog = std::string(name).find("DLG") != std::string::npos;
    wxWindow* w = nullptr;
    if (dialog) {
      w = wxXmlResource::Get()->LoadDialog(frame_, name);
      if (w) built_.push_back(w);
    } else {
      w = wxXmlResource::Get()->LoadPanel(frame_, name);
    }
    if (!w) {
      ADD_FAILURE() << "no resource object " << name;
      return nullptr;
    }
    if (dialog) {
      w->Layout();
      w->Fit();
    } else {
      auto* sizer = new wxBoxSizer(wxVERTICAL);
      sizer->Add(w, 1, wxEXPAND);
      frame_->SetSizer(sizer);
      w->Fit();
      frame_->Layout();
      w->Layout();
    }
    return w;
  }

  static wxWindow* Find(wxWindow* object, const wxString& name) { return object->FindWindow(XRCID(name)); }

  wxFrame* frame_ = nullptr;
  std::vector<wxWindow*> built_;
  ComplaintLog log_;
};

TEST_F(Resources, EveryObjectBuildsAndLaysOutWithoutComplaint) {
  for (const ObjectRow& row : kObjects) {
    SCOPED_TRACE(row.name);
    const std::size_t before = log_.Messages().size();
    wxWindow* w = Build(row.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(log_.Messages().size(), before) << log_.Messages().back();
    ASSERT_NE(w->GetSizer(), nullptr);
    EXPECT_GT(w->GetSize().x, 0);
    EXPECT_GT(w->GetSize().y, 0);
    if (row.dialog) {
      auto* d = dynamic_cast<wxDialog*>(w);
      ASSERT_NE(d, nullptr);
      EXPECT_EQ(d->GetTitle(), row.title);
      // No style of their own: the default dialog style.
      EXPECT_EQ(d->GetWindowStyleFlag() & wxDEFAULT_DIALOG_STYLE, wxDEFAULT_DIALOG_STYLE);
    } else {
      ASSERT_NE(dynamic_cast<wxPanel*>(w), nullptr);
      EXPECT_EQ(w->GetWindowStyleFlag() & (wxSUNKEN_BORDER | wxRAISED_BORDER), row.border);
      EXPECT_TRUE(w->HasFlag(wxTAB_TRAVERSAL));
      w->Destroy();
      frame_->SetSizer(nullptr);
    }
  }
}

// The clean result above means something only if the loader does complain
// about a refused flag combination.
TEST_F(Resources, RefusedSizerFlagsAreNoticed) {
  const char* text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><resource version=\"2.3.0.1\">"
      "<object class=\"wxPanel\" name=\"PROBE_PANEL\"><object class=\"wxBoxSizer\"><orient>wxVERTICAL</orient>"
      "<object class=\"sizeritem\"><flag>wxALL|wxEXPAND|wxALIGN_RIGHT</flag>"
      "<object class=\"wxButton\" name=\"PROBE_BUTTON\"><label>x</label></object></object>"
      "</object></object></resource>";
  wxXmlResource loader(wxXRC_USE_LOCALE);
  loader.InitAllHandlers();
  auto* doc = new wxXmlDocument;
  wxStringInputStream in(text);
  ASSERT_TRUE(doc->Load(in));
  ASSERT_TRUE(loader.LoadDocument(doc, "probe.xrc"));
  wxPanel* panel = loader.LoadPanel(frame_, "PROBE_PANEL");
  ASSERT_NE(panel, nullptr);
  ASSERT_FALSE(log_.Messages().empty());
  EXPECT_NE(log_.Messages().front().find("wxALIGN_RIGHT"), std::string::npos) << log_.Messages().front();
  panel->Destroy();
  log_.Clear();
}

struct ControlRow {
  const char* object;
  const char* control;
  wxClassInfo* cls;  // nullptr: the name must not be there
  long styleMask;    // (style & styleMask) == styleBits
  long styleBits;
};

const ControlRow kControls[] = {
    {"ID_PANEL_INFO", "ID_INFO", wxCLASSINFO(wxStaticText), wxST_NO_AUTORESIZE, wxST_NO_AUTORESIZE},
    {"ID_PANEL_INFO", "ID_CONFIG", wxCLASSINFO(wxButton), 0, 0},
    {"ID_PANEL_ALGORITHMS", "ID_ALGORITHMS", wxCLASSINFO(wxListCtrl), wxLC_MASK_TYPE, wxLC_REPORT},
    {"ID_PANEL_ALGORITHMS", "ID_RESTART_ALL", wxCLASSINFO(wxButton), 0, 0},
    {"ID_PANEL_ALGORITHMS", "ID_RESTART_MEASURES", wxCLASSINFO(wxButton), 0, 0},
    {"ID_PANEL_ALGORITHMS", "ID_SET_CURRENT_ALGORITHM", wxCLASSINFO(wxButton), 0, 0},
    {"ID_PANEL_ALGORITHMS", "ID_ALGO", wxCLASSINFO(wxStaticText), 0, 0},
    {"ID_PANEL_PARAMS", "ID_STATIC_PARAMS", wxCLASSINFO(wxListCtrl), wxLC_MASK_TYPE | wxLC_EDIT_LABELS, wxLC_REPORT},
    {"ID_PANEL_PARAMS", "ID_DYNAMIC_PARAMS", wxCLASSINFO(wxListCtrl), wxLC_MASK_TYPE | wxLC_EDIT_LABELS,
     wxLC_REPORT | wxLC_EDIT_LABELS},
    {"ID_PANEL_PARAMS", "ID_SET_ADDRESS", wxCLASSINFO(wxButton), 0, 0},
    {"ID_PANEL_PARAMS", "ID_GET_PARAMS", wxCLASSINFO(wxButton), 0, 0},
    {"ID_PANEL_PARAMS", "ID_SET_PARAMETERS", wxCLASSINFO(wxButton), 0, 0},
    {"ID_PANEL_PARAMS", "ID_SET_DATE", wxCLASSINFO(wxButton), 0, 0},
    {"ID_PANEL_PARAMS", "ID_SET_VOLUME_LEVEL", wxCLASSINFO(wxButton), 0, 0},
    {"ID_PANEL_PARAMS", "ID_SET_DEVICE_LOCALE", wxCLASSINFO(wxButton), 0, 0},
    {"ID_PANEL_PARAMS", "ID_SET_FACTORY_NO", wxCLASSINFO(wxButton), 0, 0},
    {"ID_PANEL_PARAMS", "ID_PARAMS", wxCLASSINFO(wxStaticText), 0, 0},
    {"ID_PANEL_STATUS", "ID_STATUS", wxCLASSINFO(wxStaticText), 0, 0},
    {"ID_DLG_OPTION", "ID_COMBO_COM", wxCLASSINFO(wxChoice), 0, 0},
    {"ID_DLG_OPTION", "ID_COMBO_BAUD_RATE", wxCLASSINFO(wxChoice), 0, 0},
    {"ID_DLG_OPTION", "ID_RADIO_REGIM", wxCLASSINFO(wxRadioBox), wxRA_SPECIFY_COLS | wxRA_SPECIFY_ROWS,
     wxRA_SPECIFY_COLS},
    {"ID_DLG_OPTION", "ID_TEXT_ADDRESS", wxCLASSINFO(wxTextCtrl), wxTE_PASSWORD, 0},
    {"ID_DLG_OPTION", "ID_STATIC_ADDRESS", wxCLASSINFO(wxStaticText), 0, 0},
    {"ID_DLG_OPTION", "ID_USE_ADVANCED", wxCLASSINFO(wxCheckBox), 0, 0},
    {"ID_DLG_OPTION", "ID_TIME_TO_WAIT", wxCLASSINFO(wxTextCtrl), wxTE_RIGHT, wxTE_RIGHT},
    {"ID_DLG_OPTION", "ID_COMBO_COUNT_DIGIT", wxCLASSINFO(wxChoice), 0, 0},
    {"ID_DLG_OPTION", "ID_COMBO_LANGUAGE", wxCLASSINFO(wxChoice), 0, 0},
    {"ID_DLG_OPTION", "ID_COMBO_SCALED_VIEW", wxCLASSINFO(wxChoice), 0, 0},
    {"ID_DLG_OPTION", "wxID_OK", wxCLASSINFO(wxButton), 0, 0},
    {"ID_DLG_OPTION", "wxID_CANCEL", wxCLASSINFO(wxButton), 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_COM_SYSTEM", wxCLASSINFO(wxChoice), 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_BAUD_RATE_SYSTEM", wxCLASSINFO(wxChoice), 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "ID_USE_ADVANCED_SYSTEM", wxCLASSINFO(wxCheckBox), 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "ID_TIME_TO_WAIT_SYSTEM", wxCLASSINFO(wxTextCtrl), wxTE_RIGHT, wxTE_RIGHT},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_ADDRESS_SYSTEM", wxCLASSINFO(wxChoice), 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_LANGUAGE_SYSTEM", wxCLASSINFO(wxChoice), 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_SCALED_VIEW", wxCLASSINFO(wxChoice), 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_COUNT_DIGIT", wxCLASSINFO(wxChoice), 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "wxID_OK", wxCLASSINFO(wxButton), 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "wxID_CANCEL", wxCLASSINFO(wxButton), 0, 0},
    // The in-system dialog has its own names for what the stand-alone one holds.
    {"ID_DLG_OPTION_SYSTEM", "ID_USE_ADVANCED", nullptr, 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "ID_TIME_TO_WAIT", nullptr, 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_COM", nullptr, 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_LANGUAGE", nullptr, 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "ID_RADIO_REGIM", nullptr, 0, 0},
    {"ID_DLG_OPTION_SYSTEM", "ID_TEXT_ADDRESS", nullptr, 0, 0},
    {"DLG_FACTORY_NO", "PASSWORD_FACTORY_NO", wxCLASSINFO(wxTextCtrl), wxTE_PASSWORD, wxTE_PASSWORD},
    {"DLG_FACTORY_NO", "TC_FACTORY_NO", wxCLASSINFO(wxTextCtrl), wxTE_PASSWORD, 0},
    {"DLG_FACTORY_NO", "ID_OK_FACTORY_NO", wxCLASSINFO(wxButton), 0, 0},
    {"DLG_FACTORY_NO", "ID_CANCEL_FACTORY_NO", wxCLASSINFO(wxButton), 0, 0},
    {"DLG_LOGIN_USER", "LOGIN_LOGIN_USER", wxCLASSINFO(wxTextCtrl), wxTE_PASSWORD, 0},
    {"DLG_LOGIN_USER", "PASSWORD_LOGIN_USER", wxCLASSINFO(wxTextCtrl), wxTE_PASSWORD, wxTE_PASSWORD},
    {"DLG_LOGIN_USER", "ID_OK_LOGIN_USER", wxCLASSINFO(wxButton), 0, 0},
    {"DLG_LOGIN_USER", "ID_CANCEL_LOGIN_USER", wxCLASSINFO(wxButton), 0, 0},
    {"ID_DLG_VOLUME_LEVEL", "ID_SLIDER_VOLUME_LEVEL", wxCLASSINFO(wxSlider), wxSL_LABELS, wxSL_LABELS},
    {"ID_DLG_VOLUME_LEVEL", "wxID_OK", wxCLASSINFO(wxButton), 0, 0},
    {"ID_DLG_VOLUME_LEVEL", "wxID_CANCEL", wxCLASSINFO(wxButton), 0, 0},
};

TEST_F(Resources, EveryLookedUpControlHasItsClass) {
  for (const ObjectRow& object : kObjects) {
    wxWindow* w = Build(object.name);
    ASSERT_NE(w, nullptr);
    for (const ControlRow& row : kControls) {
      if (std::string(row.object) != object.name) continue;
      SCOPED_TRACE(std::string(row.object) + " / " + row.control);
      wxWindow* c = Find(w, row.control);
      if (!row.cls) {
        EXPECT_EQ(c, nullptr);
        continue;
      }
      ASSERT_NE(c, nullptr);
      EXPECT_TRUE(c->IsKindOf(row.cls)) << "is a " << wxString(c->GetClassInfo()->GetClassName());
      EXPECT_EQ(c->GetWindowStyleFlag() & row.styleMask, row.styleBits);
      if (auto* choice = dynamic_cast<wxChoice*>(c)) {
        EXPECT_EQ(choice->GetCount(), 0u);  // filled by code
      }
    }
    if (std::string(object.name) == "ID_PANEL_STATUS") {
      for (int n = 1; n <= 16; ++n) {
        SCOPED_TRACE(n);
        auto* box = dynamic_cast<wxStaticText*>(Find(w, wxString::Format("ID_BMP_BIT_%d", n)));
        auto* text = dynamic_cast<wxStaticText*>(Find(w, wxString::Format("ID_TEXT_BIT_%d", n)));
        ASSERT_NE(box, nullptr);
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(box->HasFlag(wxSUNKEN_BORDER));
        EXPECT_EQ(box->GetSize(), wxSize(16, 16));
        EXPECT_TRUE(box->GetLabel().empty());
        EXPECT_TRUE(text->GetLabel().empty());
        EXPECT_FALSE(text->IsEnabled());
      }
    }
    if (!object.dialog) {
      w->Destroy();
      frame_->SetSizer(nullptr);
    }
  }
}

// The window's own label, or the box label of the static box sizer that
// holds the control.
wxString BoxLabelAround(wxWindow* control) {
  auto* box = dynamic_cast<wxStaticBoxSizer*>(control->GetContainingSizer());
  return box ? box->GetStaticBox()->GetLabel() : wxString("<no static box>");
}

bool HasChildLabelled(wxWindow* w, const wxString& label) {
  for (wxWindow* c : w->GetChildren()) {
    if (c->GetLabel() == label || HasChildLabelled(c, label)) return true;
  }
  return false;
}

struct LabelRow {
  const char* object;
  const char* control;  // nullptr: an unnamed label anywhere in the object
  bool boxLabel;        // the label of the static box around the control
  const char* label;
};

// Catalog keys, spelled exactly (two blanks before the key names, typos kept).
const LabelRow kLabels[] = {
    {"ID_PANEL_ALGORITHMS", "ID_RESTART_ALL", false, "Restart all  F4"},
    {"ID_PANEL_ALGORITHMS", "ID_RESTART_MEASURES", false, "Restart measures...  F5"},
    {"ID_PANEL_ALGORITHMS", "ID_SET_CURRENT_ALGORITHM", false, "Set current algorithm..."},
    {"ID_PANEL_ALGORITHMS", "ID_ALGO", false, "Measuring data"},
    {"ID_PANEL_PARAMS", "ID_GET_PARAMS", false, "Get parameters  F3"},
    {"ID_PANEL_PARAMS", "ID_SET_PARAMETERS", false, "Set parameters  F2"},
    {"ID_PANEL_PARAMS", "ID_SET_FACTORY_NO", false, "Factory number..."},
    {"ID_PANEL_PARAMS", "ID_SET_DATE", false, "Device date/time..."},
    {"ID_PANEL_PARAMS", "ID_SET_DEVICE_LOCALE", false, "Set device language..."},
    {"ID_PANEL_PARAMS", "ID_SET_VOLUME_LEVEL", false, "Set volume level..."},
    {"ID_PANEL_PARAMS", "ID_SET_ADDRESS", false, "Set address..."},
    {"ID_PANEL_PARAMS", "ID_PARAMS", false, "Device parameters"},
    {"ID_PANEL_PARAMS", nullptr, false, "Static parameters"},
    {"ID_PANEL_PARAMS", nullptr, false, "Dynamic parameters"},
    {"ID_PANEL_INFO", "ID_INFO", false, "..."},
    {"ID_PANEL_INFO", "ID_CONFIG", false, "Parameters..."},
    {"ID_PANEL_STATUS", "ID_STATUS", false, "Device status"},
    {"ID_DLG_OPTION", "ID_COMBO_COM", true, "Serial port"},
    {"ID_DLG_OPTION", "ID_COMBO_BAUD_RATE", true, "Baud rate"},
    {"ID_DLG_OPTION", "ID_USE_ADVANCED", false, "Advanced"},
    {"ID_DLG_OPTION", nullptr, false, "Timeout"},
    {"ID_DLG_OPTION", nullptr, false, "Wait receiver timeout"},
    {"ID_DLG_OPTION", "ID_RADIO_REGIM", false, "Exchange mode"},
    {"ID_DLG_OPTION", "ID_STATIC_ADDRESS", false, "Enter address:"},
    {"ID_DLG_OPTION", "ID_COMBO_COUNT_DIGIT", true, "Count digit in dynamic parameters"},
    {"ID_DLG_OPTION", "ID_COMBO_LANGUAGE", true, "Language"},
    {"ID_DLG_OPTION", "ID_COMBO_SCALED_VIEW", true, "Display inforamation in data window:"},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_COM_SYSTEM", true, "Serial port"},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_BAUD_RATE_SYSTEM", true, "Baud rate"},
    {"ID_DLG_OPTION_SYSTEM", "ID_USE_ADVANCED_SYSTEM", false, "Advanced"},
    {"ID_DLG_OPTION_SYSTEM", nullptr, false, "Timeout"},
    {"ID_DLG_OPTION_SYSTEM", nullptr, false, "Wait receiver timeout"},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_COUNT_DIGIT", true, "Count digit in dynamic parameters"},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_LANGUAGE_SYSTEM", true, "Choice language of program"},
    {"ID_DLG_OPTION_SYSTEM", "ID_COMBO_SCALED_VIEW", true, "Display inforamation in data window:"},
    {"DLG_FACTORY_NO", nullptr, false, "Password"},
    {"DLG_FACTORY_NO", nullptr, false, "Factory number"},
    {"DLG_FACTORY_NO", "ID_OK_FACTORY_NO", false, "OK"},
    {"DLG_FACTORY_NO", "ID_CANCEL_FACTORY_NO", false, "Cancel"},
    {"DLG_LOGIN_USER", nullptr, false, "Login"},
    {"DLG_LOGIN_USER", nullptr, false, "Password"},
    {"DLG_LOGIN_USER", "ID_OK_LOGIN_USER", false, "OK"},
    {"DLG_LOGIN_USER", "ID_CANCEL_LOGIN_USER", false, "Cancel"},
    {"ID_DLG_VOLUME_LEVEL", "ID_SLIDER_VOLUME_LEVEL", true, "Volume level"},
};

TEST_F(Resources, TextsAreTheCatalogKeys) {
  for (const ObjectRow& object : kObjects) {
    wxWindow* w = Build(object.name);
    ASSERT_NE(w, nullptr);
    for (const LabelRow& row : kLabels) {
      if (std::string(row.object) != object.name) continue;
      SCOPED_TRACE(std::string(row.object) + " / " + (row.control ? row.control : "") + " / " + row.label);
      if (!row.control) {
        EXPECT_TRUE(HasChildLabelled(w, row.label));
        continue;
      }
      wxWindow* c = Find(w, row.control);
      ASSERT_NE(c, nullptr);
      EXPECT_EQ(row.boxLabel ? BoxLabelAround(c) : c->GetLabel(), row.label);
    }
    if (auto* radio = dynamic_cast<wxRadioBox*>(Find(w, "ID_RADIO_REGIM"))) {
      ASSERT_EQ(radio->GetCount(), 2u);
      EXPECT_EQ(radio->GetString(0), "Broadcast mode");
      EXPECT_EQ(radio->GetString(1), "Direct address mode");
    }
    if (!object.dialog) {
      w->Destroy();
      frame_->SetSizer(nullptr);
    }
  }
}

wxGridSizer* FindGrid(wxSizer* sizer) {
  for (wxSizerItem* item : sizer->GetChildren()) {
    if (!item->IsSizer()) continue;
    if (auto* grid = dynamic_cast<wxGridSizer*>(item->GetSizer())) return grid;
    if (wxGridSizer* inner = FindGrid(item->GetSizer())) return inner;
  }
  return nullptr;
}

TEST_F(Resources, StatusGridShowsTheBitsColumnByColumn) {
  wxWindow* panel = Build("ID_PANEL_STATUS");
  ASSERT_NE(panel, nullptr);
  panel->SetSize(900, 200);
  panel->Layout();
  wxGridSizer* grid = FindGrid(panel->GetSizer());
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->GetCols(), 3);
  EXPECT_EQ(grid->GetRows(), 6);
  EXPECT_EQ(grid->GetVGap(), 2);
  EXPECT_EQ(grid->GetHGap(), 2);
  ASSERT_EQ(grid->GetItemCount(), 16u);

  // Column c of row r shows bit first[c] + r: 1..6, 7..11, 12..16.
  const int first[3] = {1, 7, 12};
  wxRect origin;
  for (int k = 0; k < 16; ++k) {
    const int row = k / 3, col = k % 3, n = first[col] + row;
    SCOPED_TRACE(testing::Message() << "grid cell " << k << " must hold bit " << n);
    wxSizerItem* cell = grid->GetItem(static_cast<size_t>(k));
    ASSERT_TRUE(cell && cell->IsSizer());
    std::vector<wxWindow*> windows;
    for (wxSizerItem* part : cell->GetSizer()->GetChildren())
      if (part->IsWindow()) windows.push_back(part->GetWindow());
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0], Find(panel, wxString::Format("ID_BMP_BIT_%d", n)));
    EXPECT_EQ(windows[1], Find(panel, wxString::Format("ID_TEXT_BIT_%d", n)));

    // Every cell fills its grid place, the first one too.
    const wxRect r = cell->GetRect();
    if (k == 0) origin = r;
    EXPECT_GT(r.width, 250);
    EXPECT_EQ(r.GetSize(), origin.GetSize());
    EXPECT_EQ(r.x, origin.x + col * (origin.width + grid->GetHGap()));
    EXPECT_EQ(r.y, origin.y + row * (origin.height + grid->GetVGap()));
    EXPECT_TRUE(r.Contains(windows[0]->GetRect()));
    EXPECT_TRUE(r.Contains(windows[1]->GetRect()));
  }
  frame_->SetSizer(nullptr);
}

struct FontRow {
  const char* object;
  const char* control;
  int points;
  const char* face;
};

const FontRow kFonts[] = {
    {"ID_PANEL_STATUS", "ID_STATUS", 16, "Tahoma"},
    {"ID_PANEL_INFO", "ID_INFO", 26, "Lucida Sans Unicode"},
    {"ID_PANEL_ALGORITHMS", "ID_ALGO", 16, "Tahoma"},
    {"ID_PANEL_PARAMS", "ID_PARAMS", 16, "Tahoma"},
};

// The resource text as registered in the memory file system.
std::unique_ptr<wxXmlDocument> RegisteredText() {
  wxFileSystem fs;
  std::unique_ptr<wxFSFile> file(fs.OpenFile("memory:XRC_resource/resource.cpp$._resource.xrc"));
  if (!file) return nullptr;
  auto doc = std::make_unique<wxXmlDocument>();
  if (!doc->Load(*file->GetStream())) return nullptr;
  return doc;
}

wxXmlNode* FindObject(wxXmlNode* node, const wxString& name) {
  for (wxXmlNode* c = node->GetChildren(); c; c = c->GetNext()) {
    if (c->GetName() == "object" && c->GetAttribute("name") == name) return c;
    if (wxXmlNode* inner = FindObject(c, name)) return inner;
  }
  return nullptr;
}

wxXmlNode* Child(wxXmlNode* node, const wxString& name) {
  for (wxXmlNode* c = node ? node->GetChildren() : nullptr; c; c = c->GetNext())
    if (c->GetName() == name) return c;
  return nullptr;
}

TEST_F(Resources, PanelsCarryTheirFontsAndColours) {
  const std::unique_ptr<wxXmlDocument> text = RegisteredText();
  ASSERT_TRUE(text);
  EXPECT_EQ(text->GetFileEncoding().Upper(), "UTF-8");

  for (const FontRow& row : kFonts) {
    SCOPED_TRACE(row.control);
    // The text names the face; no encoding, which a Unicode build ignores.
    wxXmlNode* fontNode = Child(FindObject(text->GetRoot(), row.control), "font");
    ASSERT_NE(fontNode, nullptr);
    EXPECT_EQ(Child(fontNode, "face")->GetNodeContent(), row.face);
    EXPECT_EQ(Child(fontNode, "size")->GetNodeContent(), wxString::Format("%d", row.points));
    EXPECT_EQ(Child(fontNode, "encoding"), nullptr);

    wxWindow* panel = Build(row.object);
    ASSERT_NE(panel, nullptr);
    wxWindow* title = Find(panel, row.control);
    ASSERT_NE(title, nullptr);
    const wxFont font = title->GetFont();
    ASSERT_TRUE(font.IsOk());
    EXPECT_EQ(font.GetPointSize(), row.points);
    // The loader takes the face when it is installed, else the toolkit's
    // default face at the given size.
    if (wxFontEnumerator::IsValidFacename(row.face)) {
      EXPECT_EQ(font.GetFaceName(), row.face);
    } else {
      EXPECT_FALSE(font.GetFaceName().empty());
    }
    EXPECT_EQ(font.GetStyle(), wxFONTSTYLE_NORMAL);
    EXPECT_EQ(font.GetWeight(), wxFONTWEIGHT_NORMAL);
    EXPECT_FALSE(font.GetUnderlined());
    // Only the title has a font of its own.
    for (wxWindow* c : panel->GetChildren()) {
      if (c != title) {
        EXPECT_NE(c->GetFont().GetPointSize(), row.points) << c->GetName();
      }
    }
    panel->Destroy();
    frame_->SetSizer(nullptr);
  }

  const struct {
    const char* object;
    wxColour colour;
  } backgrounds[] = {{"ID_PANEL_ALGORITHMS", wxColour(209, 231, 213)}, {"ID_PANEL_PARAMS", wxColour(227, 227, 255)}};
  for (const auto& row : backgrounds) {
    SCOPED_TRACE(row.object);
    wxWindow* panel = Build(row.object);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->GetBackgroundColour(), row.colour);
    panel->Destroy();
    frame_->SetSizer(nullptr);
  }
}

TEST_F(Resources, DialogButtonsAndFieldsAreAsTheCodeExpects) {
  // The named OK buttons are the default ones; the others are stock buttons.
  for (const auto& [dialog, ok] : {std::pair{"DLG_FACTORY_NO", "ID_OK_FACTORY_NO"},
                                   std::pair{"DLG_LOGIN_USER", "ID_OK_LOGIN_USER"}}) {
    SCOPED_TRACE(dialog);
    auto* d = dynamic_cast<wxDialog*>(Build(dialog));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->GetDefaultItem(), Find(d, ok));
  }
  for (const char* dialog : {"ID_DLG_OPTION", "ID_DLG_OPTION_SYSTEM", "ID_DLG_VOLUME_LEVEL"}) {
    SCOPED_TRACE(dialog);
    wxWindow* d = Build(dialog);
    ASSERT_NE(d, nullptr);
    for (int id : {wxID_OK, wxID_CANCEL}) {
      auto* b = dynamic_cast<wxButton*>(d->FindWindow(id));
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(b->GetLabel(), wxGetStockLabel(id));
    }
  }

  // The time-out fields keep their narrow width at the entry's own height.
  auto* plain = new wxTextCtrl(frame_, wxID_ANY);
  const int entryHeight = plain->GetBestSize().y;
  plain->Destroy();
  for (const auto& [dialog, field] : {std::pair{"ID_DLG_OPTION", "ID_TIME_TO_WAIT"},
                                      std::pair{"ID_DLG_OPTION_SYSTEM", "ID_TIME_TO_WAIT_SYSTEM"}}) {
    SCOPED_TRACE(field);
    wxWindow* d = Build(dialog);
    ASSERT_NE(d, nullptr);
    wxWindow* f = Find(d, field);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->GetSize(), wxSize(58, entryHeight));
  }

  auto* slider = wxDynamicCast(Find(Build("ID_DLG_VOLUME_LEVEL"), "ID_SLIDER_VOLUME_LEVEL"), wxSlider);
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->GetMin(), 0);
  EXPECT_EQ(slider->GetMax(), 100);
  EXPECT_EQ(slider->GetValue(), 0);
}

}  // namespace
