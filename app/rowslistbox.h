#pragma once
// A list box whose best height is the height GTK draws all its rows in, as
// far as the screen allows: a dialog's sizer then gives it room for every
// row. The toolkit's own estimate assumes smaller rows than GTK draws.

#include <wx/listbox.h>

class RowsListBox : public wxListBox {
 public:
  RowsListBox(wxWindow* parent, wxWindowID id, int n, const wxString choices[], long style);

 protected:
  wxSize DoGetBestSize() const override;

 private:
  // The height GTK draws every row in, with the list's frame; 0 when it
  // cannot tell. The one place that asks GTK (rowslistbox_gtk.cpp).
  int HeightOfAllRows() const;
};
