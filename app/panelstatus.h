#pragma once
// The status panel: the 16 bits of the served point's status word, each a
// colour box beside the text of its status flag.

#include <cstdint>
#include <utility>

#include <wx/string.h>

#include "app/panelgeneric.h"

class wxStaticText;
class StatusFlagTable;

class PanelStatus : public PanelGeneric {
 public:
  static constexpr int CellCount = 16;

  explicit PanelStatus(wxWindow* parent);
  ~PanelStatus() override;

  void ClearPanel(const kalvo_lorim::Point& point) override;
  void UpdatePanel(const kalvo_lorim::Point& point) override;

  void MakeCellNames();
  // Cell n (1..16) shows bit n - 1 of `word` and flag n of `flags`.
  void PaintBits(std::uint16_t word, const StatusFlagTable& flags);
  void ShowBitTexts(const kalvo_lorim::Point& point);
  void ClearBitTexts();

  // XRC names of cell i (0..15): colour box, text.
  const std::pair<wxString, wxString>& CellNames(int i) const { return cellNames[i]; }

 private:
  // Looked up at each use: the cells belong to the window tree.
  wxStaticText* ColourBox(int i) const;
  wxStaticText* TextCell(int i) const;
  void OnSize(wxSizeEvent& event);

  wxStaticText* title = nullptr;
  std::pair<wxString, wxString> cellNames[CellCount];

  wxDECLARE_EVENT_TABLE();
};
