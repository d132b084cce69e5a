#pragma once
// Stand-ins for the windows of the main window that are still being built;
// each gives way to the real class as soon as its header exists.
#include <wx/dialog.h>

#include "app/panelgeneric.h"
#include "kalvo_lorim/command.h"
#include "kalvo_lorim/pointscollection.h"
#include "kalvo_lorim/types.h"

#if __has_include("app/panelstatus.h")
#include "app/panelstatus.h"
#else
#include "app/panelgeneric.h"
class PanelStatus : public PanelGeneric {
 public:
  explicit PanelStatus(wxWindow* parent) { Create(parent); }
  void ClearPanel(const kalvo_lorim::Point&) override {}
  void UpdatePanel(const kalvo_lorim::Point&) override {}
};
#endif

#if __has_include("app/panelalgorithms.h")
#include "app/panelalgorithms.h"
#else
#include "app/panelgeneric.h"
#include "kalvo_lorim/command.h"
#include "kalvo_lorim/pointscollection.h"
class PanelAlgorithms : public PanelGeneric {
 public:
  PanelAlgorithms(wxWindow* parent, kalvo_lorim::PointsCollection*, CommandQueue*) { Create(parent); }
  void ClearPanel(const kalvo_lorim::Point&) override {}
  void UpdatePanel(const kalvo_lorim::Point&) override {}
};
#endif

#if __has_include("app/panelparamsblock.h")
#include "app/panelparamsblock.h"
#else
#include "app/panelgeneric.h"
#include "kalvo_lorim/command.h"
#include "kalvo_lorim/pointscollection.h"
class PanelParamsBlock : public PanelGeneric {
 public:
  PanelParamsBlock(wxWindow* parent, kalvo_lorim::PointsCollection*, CommandQueue*) { Create(parent); }
  void ClearPanel(const kalvo_lorim::Point&) override {}
  void UpdatePanel(const kalvo_lorim::Point&) override {}
};
#endif

#if __has_include("app/dlgoptions.h")
#include "app/dlgoptions.h"
#else
#include <wx/dialog.h>
#include "kalvo_lorim/types.h"
class DlgOptions : public wxDialog {
 public:
  void GetResult(wxString& port, kalvo_lorim::Address& address, wxString& baud) const { port = port_; address = address_; baud = baud_; }
 protected:
  kalvo_lorim::Address address_; wxString port_, baud_;
};
class DlgOptionsGeneral : public DlgOptions { public: explicit DlgOptionsGeneral(wxWindow* p) { Create(p, wxID_ANY, "Parameters"); } };
class DlgOptionsInSystem : public DlgOptions { public: explicit DlgOptionsInSystem(wxWindow* p) { Create(p, wxID_ANY, "Parameters"); } };
#endif
