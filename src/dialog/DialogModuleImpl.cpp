// The library's side of the seam: the one DialogModule object and the
// exported entry point that hands it out.
#include <QApplication>
#include <cstdlib>
#include <exception>
#include <memory>

#include "dialog/frmMarlet.h"
#include "host/DialogModule.h"

namespace tolvan::dialog {
namespace {

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
