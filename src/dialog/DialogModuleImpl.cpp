// The library's side of the seam: the one DialogModule object and the
// exported entry point that hands it out.
#include <dlfcn.h>

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>

#include "dialog/frmMarlet.h"
#include "host/DialogModule.h"

namespace tolvan::dialog {
namespace {

// Qt's X11 platform aborts the process when it cannot reach the X server,
// so the server is tried first with the X connection library Qt itself
// uses. Only when Qt is going to use X11: another platform chosen in
// QT_QPA_PLATFORM (offscreen, wayland) needs no X server. When the library
// cannot be loaded, Qt is left to try.
bool XServerUnreachable(const char* display) {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && platform[0] != '\0' && std::strncmp(platform, "xcb", 3) != 0) {
    return false;
  }
  if (platform == nullptr && std::getenv("WAYLAND_DISPLAY") != nullptr) return false;
  void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (xcb == nullptr) return false;
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
  auto has_error = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
  auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
  bool unreachable = false;
  if (connect != nullptr && has_error != nullptr && disconnect != nullptr) {
    // xcb_connect never returns null: a failed connection reports its error.
    void* connection = connect(display, nullptr);
    unreachable = connection == nullptr || has_error(connection) != 0;
    if (connection != nullptr) disconnect(connection);
  }
  dlclose(xcb);
  return unreachable;
}

// The front end has no Qt of its own, so the first dialog starts the
// application object; it lives as long as the process, because Qt cannot be
// started a second time after a shutdown.
bool EnsureApplication(std::string& error) {
  if (QCoreApplication::instance() != nullptr) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) return true;
    error = "the program runs a Qt application without widgets";
    return false;
  }
  // Without a display Qt would abort the whole process instead of failing.
  const bool has_display = std::getenv("DISPLAY") != nullptr ||
                           std::getenv("WAYLAND_DISPLAY") != nullptr ||
                           std::getenv("QT_QPA_PLATFORM") != nullptr;
  if (!has_display) {
    error = "no display to show the settings window on";
    return false;
  }
  if (const char* display = std::getenv("DISPLAY");
      display != nullptr && XServerUnreachable(display)) {
    error = std::string("cannot reach the display ") + display +
            " to show the settings window on (is the X server running, and may this user use it?)";
    return false;
  }
  static int argc = 1;
  static char name[] = "tolvan";
  static char* argv[] = {name, nullptr};
  // Never destroyed: destroying it from an exit handler, after the
  // platform plugin's own statics are gone, crashes the process on X11 (seen
  // on closing the dialog under Xvfb), and a Qt application cannot be made a
  // second time anyway. The process ends right after the command.
  new QApplication(argc, argv);
  return true;
}

class QtDialogModule final : public DialogModule {
 public:
  int ShowSettingsDialog(SettingsDialogContext& context,
                         const std::vector<std::u16string>& toolbars) override {
    try {
      if (!EnsureApplication(context.error_message)) return kDialogCouldNotOpen;
      frmMarlet::Services services{context.files,    context.registry, context.file_chooser,
                                   context.messages, context.desktop,  context.clock};
      frmMarlet form(context.settings, services);
      form.SetToolbars(toolbars);
      form.exec();
      return kDialogClosed;
    } catch (const std::exception& e) {
      context.error_message = e.what();
    } catch (...) {
      context.error_message = "the settings window failed";
    }
    return kDialogCouldNotOpen;
  }
};

}  // namespace
}  // namespace tolvan::dialog

extern "C" __attribute__((visibility("default"))) tolvan::dialog::DialogModule* TolvanDialogModule(
    int interface_version) {
  static tolvan::dialog::QtDialogModule module;
  if (interface_version != tolvan::dialog::kDialogModuleInterfaceVersion) return nullptr;
  return &module;
}
