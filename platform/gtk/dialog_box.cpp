// Modal dialogs as GTK windows built from a GtkBuilder resource, with the
// dialog manager's keyboard rules: Enter presses the default button (or the
// focused push button), Escape and the close box send IDCANCEL, Tab walks the
// template's tab stops.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/gtk/gtk_module_parts.h"

namespace platform {

struct DialogRecord {
  GtkBuilder* builder = nullptr;
  GtkWindow* window = nullptr;
  DialogProc proc = nullptr;
  GMainLoop* loop = nullptr;  // the modal loop, while it runs
  bool ended = false;
  intptr_t result = 0;
};

namespace gtk_module {
namespace {

constexpr const char* kControlPrefix = "control-";
constexpr const char* kControlIdKey = "hl-control-id";

// The control with id `id`, or nullptr.
GtkWidget* Control(DialogHandle dialog, int id) {
  if (!dialog) return nullptr;
  GObject* object = gtk_builder_get_object(dialog->builder, (kControlPrefix + std::to_string(id)).c_str());
  return object && GTK_IS_WIDGET(object) ? GTK_WIDGET(object) : nullptr;
}

void SendCommand(DialogHandle dialog, int id) {
  if (dialog->ended) return;
  dialog->proc(dialog, WM_COMMAND, static_cast<WParam>(static_cast<uint16_t>(id)) | WParam{BN_CLICKED} << 16, 0);
}

void OnClicked(GtkButton* button, gpointer data) {
  SendCommand(static_cast<DialogHandle>(data), GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), kControlIdKey)));
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  SendCommand(static_cast<DialogHandle>(data), IDCANCEL);
  return TRUE;  // the procedure decides whether the dialog ends
}

gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer data) {
  auto* dialog = static_cast<DialogHandle>(data);
  const GdkModifierType modifiers = static_cast<GdkModifierType>(event->state & gtk_accelerator_get_default_mod_mask());
  if (modifiers != 0) return FALSE;
  switch (event->keyval) {
    case GDK_KEY_Escape:
      SendCommand(dialog, IDCANCEL);
      return TRUE;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter: {
      // A focused push button takes Enter itself; anywhere else (the check
      // box, which GTK would toggle) Enter means the default button.
      GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget));
      if (focus && GTK_IS_BUTTON(focus) && !GTK_IS_TOGGLE_BUTTON(focus)) return FALSE;
      GtkWidget* preferred = gtk_window_get_default_widget(GTK_WINDOW(widget));
      const int id = preferred ? GPOINTER_TO_INT(g_object_get_data(G_OBJECT(preferred), kControlIdKey)) : 0;
      SendCommand(dialog, id ? id : IDOK);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// Dialog units to pixels from the font's base units, as the system converts
// them: x by average character width / 4, y by character height / 8.
void ScaleDialogUnits(GtkWindow* window, GtkBuilder* builder) {
  PangoLayout* layout =
      gtk_widget_create_pango_layout(GTK_WIDGET(window), "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  g_object_unref(layout);
  const int baseX = width > 0 ? (width / 26 + 1) / 2 : 6;
  const int baseY = height > 0 ? height : 13;
  auto scaleX = [&](int units) { return (units * baseX + 2) / 4; };
  auto scaleY = [&](int units) { return (units * baseY + 4) / 8; };
  auto scaleSize = [&](GtkWidget* widget) {
    int w = -1, h = -1;
    gtk_widget_get_size_request(widget, &w, &h);
    gtk_widget_set_size_request(widget, w < 0 ? -1 : scaleX(w), h < 0 ? -1 : scaleY(h));
  };

  GSList* objects = gtk_builder_get_objects(builder);
  for (GSList* o = objects; o; o = o->next) {
    if (!GTK_IS_FIXED(o->data)) continue;
    GtkFixed* fixed = GTK_FIXED(o->data);
    scaleSize(GTK_WIDGET(fixed));
    GList* children = gtk_container_get_children(GTK_CONTAINER(fixed));
    for (GList* c = children; c; c = c->next) {
      GtkWidget* child = GTK_WIDGET(c->data);
      int x = 0, y = 0;
      gtk_container_child_get(GTK_CONTAINER(fixed), child, "x", &x, "y", &y, nullptr);
      gtk_fixed_move(fixed, child, scaleX(x), scaleY(y));
      scaleSize(child);
    }
    g_list_free(children);
  }
  g_slist_free(objects);
}

// Gives every "control-N" its id and routes its presses to the procedure.
void WireControls(DialogHandle dialog) {
  GSList* objects = gtk_builder_get_objects(dialog->builder);
  for (GSList* o = objects; o; o = o->next) {
    if (!GTK_IS_BUILDABLE(o->data)) continue;
    const char* name = gtk_buildable_get_name(GTK_BUILDABLE(o->data));
    const std::string prefix = kControlPrefix;
    if (!name || std::string(name).rfind(prefix, 0) != 0) continue;
    const int id = std::atoi(name + prefix.size());
    g_object_set_data(G_OBJECT(o->data), kControlIdKey, GINT_TO_POINTER(id));
    if (GTK_IS_BUTTON(o->data)) g_signal_connect(o->data, "clicked", G_CALLBACK(OnClicked), dialog);
  }
  g_slist_free(objects);
}

// WM_TRANSIENT_FOR on our window, naming a window of another program.
GdkWindow* MakeTransientFor(GtkWindow* window, WindowHandle owner) {
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
  if (owner == kNoWindow || !GDK_IS_X11_DISPLAY(display)) return nullptr;
  // NOTE: returns null (and traps the X error) when the window does not exist.
  GdkWindow* foreign = gdk_x11_window_foreign_new_for_display(display, static_cast<Window>(owner));
  if (foreign) gdk_window_set_transient_for(gtk_widget_get_window(GTK_WIDGET(window)), foreign);
  return foreign;
}

bool InitGtk() {
  // gtk_init_check accepts null arguments and is safe to call again.
  return gtk_init_check(nullptr, nullptr);
}

}  // namespace

intptr_t RunDialog(const char* description, size_t size, WindowHandle owner, DialogProc proc, LParam param) {
  if (!InitGtk()) {
    const char* display = std::getenv("DISPLAY");
    ReportError("GTK", std::string("cannot open the display") + (display && *display ? std::string(" ") + display : ""));
    return -1;
  }
  DialogRecord record;
  record.proc = proc;
  record.builder = gtk_builder_new();
  GError* error = nullptr;
  if (!gtk_builder_add_from_string(record.builder, description, size, &error)) {
    ReportError("GTK", std::string("bad dialog description: ") + (error ? error->message : "?"));
    if (error) g_error_free(error);
    g_object_unref(record.builder);
    return -1;
  }
  GObject* top = gtk_builder_get_object(record.builder, "dialog");
  if (!top || !GTK_IS_WINDOW(top)) {
    ReportError("GTK", "the dialog description has no window named \"dialog\"");
    g_object_unref(record.builder);
    return -1;
  }
  record.window = GTK_WINDOW(top);
  DialogHandle dialog = &record;
  ScaleDialogUnits(record.window, record.builder);
  WireControls(dialog);
  g_signal_connect(record.window, "delete-event", G_CALLBACK(OnDelete), dialog);
  g_signal_connect(record.window, "key-press-event", G_CALLBACK(OnKeyPress), dialog);

  gtk_widget_realize(GTK_WIDGET(record.window));
  GdkWindow* ownerWindow = MakeTransientFor(record.window, owner);

  if (proc(dialog, WM_INITDIALOG, 0, param) && !record.ended) {
    GtkWidget* content = gtk_bin_get_child(GTK_BIN(record.window));
    if (content) gtk_widget_child_focus(content, GTK_DIR_TAB_FORWARD);  // the first tab stop
  }
  if (!record.ended) {
    gtk_widget_show(GTK_WIDGET(record.window));
    record.loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(record.loop);
    g_main_loop_unref(record.loop);
    record.loop = nullptr;
  }
  gtk_widget_destroy(GTK_WIDGET(record.window));
  g_object_unref(record.builder);
  if (ownerWindow) g_object_unref(ownerWindow);
  // Let the server see the dialog go before the program goes on (or ends).
  while (gtk_events_pending()) gtk_main_iteration();
  gdk_display_flush(gdk_display_get_default());
  return record.result;
}

BOOL CheckDlgButton(DialogHandle dialog, int id, unsigned check) {
  GtkWidget* control = Control(dialog, id);
  if (!control || !GTK_IS_TOGGLE_BUTTON(control)) return 0;
  // Setting the state is not a press: no WM_COMMAND for it.
  g_signal_handlers_block_by_func(control, reinterpret_cast<gpointer>(OnClicked), dialog);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(control), check != BST_UNCHECKED);
  g_signal_handlers_unblock_by_func(control, reinterpret_cast<gpointer>(OnClicked), dialog);
  return 1;
}

unsigned IsDlgButtonChecked(DialogHandle dialog, int id) {
  GtkWidget* control = Control(dialog, id);
  if (!control || !GTK_IS_TOGGLE_BUTTON(control)) return BST_UNCHECKED;
  return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(control)) ? BST_CHECKED : BST_UNCHECKED;
}

BOOL EndDialog(DialogHandle dialog, intptr_t result) {
  if (!dialog) return 0;
  dialog->ended = true;
  dialog->result = result;
  if (dialog->loop) g_main_loop_quit(dialog->loop);
  return 1;
}

BOOL SetItemText(DialogHandle dialog, int id, const char* text) {
  GtkWidget* control = Control(dialog, id);
  if (!control) return 0;
  if (GTK_IS_ENTRY(control)) {
    gtk_entry_set_text(GTK_ENTRY(control), text);
  } else if (GTK_IS_LABEL(control)) {
    gtk_label_set_text(GTK_LABEL(control), text);
  } else if (GTK_IS_BUTTON(control)) {
    gtk_button_set_label(GTK_BUTTON(control), text);
  } else {
    return 0;
  }
  return 1;
}

unsigned GetItemText(DialogHandle dialog, int id, char* buffer, int size) {
  GtkWidget* control = Control(dialog, id);
  const char* text = nullptr;
  if (control && GTK_IS_ENTRY(control)) {
    text = gtk_entry_get_text(GTK_ENTRY(control));
  } else if (control && GTK_IS_LABEL(control)) {
    text = gtk_label_get_text(GTK_LABEL(control));
  } else if (control && GTK_IS_BUTTON(control)) {
    text = gtk_button_get_label(GTK_BUTTON(control));
  }
  const size_t length = text ? std::min(std::strlen(text), static_cast<size_t>(size - 1)) : 0;
  if (length) std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return static_cast<unsigned>(length);
}

void BrowseForFolder(DialogHandle dialog, const char* start, char* buffer, int size) {
  buffer[0] = '\0';
  GtkWidget* chooser = gtk_file_chooser_dialog_new("Pictures folder", dialog ? dialog->window : nullptr,
                                                   GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
                                                   GTK_RESPONSE_CANCEL, "_Select", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
  if (start && *start) gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), start);
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    if (char* folder = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
      const size_t length = std::min(std::strlen(folder), static_cast<size_t>(size - 1));
      std::memcpy(buffer, folder, length);
      buffer[length] = '\0';
      g_free(folder);
    }
  }
  gtk_widget_destroy(chooser);
}

WindowHandle GetForegroundWindow() {
  if (!InitGtk()) return kNoWindow;
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return kNoWindow;
  // The window manager names the active window on the root window; without
  // one (or without the property) there is no foreground window.
  Display* x = gdk_x11_display_get_xdisplay(display);
  const Atom active = XInternAtom(x, "_NET_ACTIVE_WINDOW", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  WindowHandle window = kNoWindow;
  if (XGetWindowProperty(x, DefaultRootWindow(x), active, 0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                         &data) == Success &&
      type == XA_WINDOW && format == 32 && count == 1 && data) {
    window = static_cast<WindowHandle>(*reinterpret_cast<unsigned long*>(data));
  }
  if (data) XFree(data);
  return window;
}

}  // namespace gtk_module
}  // namespace platform
