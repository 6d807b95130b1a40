// Message boxes as GTK dialogs: modal, an OK button, the caption as title,
// and no icon, like the system's box without icon flags.
#include "platform/message_box.h"

#include <gtk/gtk.h>

#include <cstdio>

namespace platform {
namespace {

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

}  // namespace

void MessageBox(const std::string& text, const std::string& caption) {
  if (Handler()) {
    Handler()(text, caption);
    return;
  }
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
  // No display (or none GTK can use): the line above is all there is.
  if (!gtk_init_check(nullptr, nullptr)) return;
  GtkWidget* dialog =
      gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  // Let the server see the box go before the program goes on (or ends).
  while (gtk_events_pending()) gtk_main_iteration();
}

void SetMessageBoxHandler(MessageBoxHandler handler) { Handler() = std::move(handler); }

}  // namespace platform
