#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/xrc/xmlres.h>

TEST(Resources, InfoPanelLoads) {
  wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "t");
  wxPanel* panel = wxXmlResource::Get()->LoadPanel(frame, "ID_PANEL_INFO");
  ASSERT_NE(panel, nullptr);
  EXPECT_NE(panel->FindWindow(XRCID("ID_INFO")), nullptr);
  frame->Destroy();
}
