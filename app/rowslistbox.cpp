#include "app/rowslistbox.h"

#include <algorithm>

#include <wx/display.h>

RowsListBox::RowsListBox(wxWindow* parent, wxWindowID id, int n, const wxString choices[], long style)
    : wxListBox(parent, id, wxDefaultPosition, wxDefaultSize, n, choices, style) {
  // The base sized itself by its own measure while it was being built.
  InvalidateBestSize();
  SetInitialSize();
}

wxSize RowsListBox::DoGetBestSize() const {
  wxSize best = wxListBox::DoGetBestSize();
  const int rows = HeightOfAllRows();
  if (rows > 0) best.y = std::min(rows, wxDisplay(this).GetClientArea().height);
  return best;
}
