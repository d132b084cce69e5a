// GTK's own measure of a list box's rows.
#include <gtk/gtk.h>

#include "app/rowslistbox.h"

int RowsListBox::HeightOfAllRows() const {
  GtkWidget* widget = static_cast<GtkWidget*>(GetHandle());
  if (widget == nullptr || !GTK_IS_SCROLLED_WINDOW(widget)) return 0;
  // GTK measures the rows of a list only once it has its window, which a
  // list in a dialog not yet shown lacks.
  gtk_widget_realize(gtk_bin_get_child(GTK_BIN(widget)));
  GtkScrolledWindow* scrolled = GTK_SCROLLED_WINDOW(widget);
  gtk_scrolled_window_set_propagate_natural_height(scrolled, TRUE);
  int minimum = 0, natural = 0;
  gtk_widget_get_preferred_height(widget, &minimum, &natural);
  gtk_scrolled_window_set_propagate_natural_height(scrolled, FALSE);
  return natural;
}
