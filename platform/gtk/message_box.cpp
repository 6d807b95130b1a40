// Message boxes as GTK dialogs: modal, an OK button, the caption as title,
// and no icon, like the system's box without icon flags.
#include <gtk/gtk.h>

#include "platform/gtk/gtk_module_parts.h"

namespace platform {
namespace gtk_module {

bool ShowMessageBox(const char* text, const char* caption) {
  // No display (or none GTK can use): the caller's line on stderr is all there is.
  if (!gtk_init_check(nullptr, nullptr)) return false;
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s", text);
  gtk_window_set_title(GTK_WINDOW(dialog), caption);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  // Let the server see the box go before the program goes on (or ends).
  while (gtk_events_pending()) gtk_main_iteration();
  return true;
}

}  // namespace gtk_module
}  // namespace platform
