#include "windows/WindowsServices.h"

#include <utility>

namespace tolvan::windows {
namespace {

std::function<void*()> AsOwner(std::function<HWND()> owner) {
  if (!owner) return nullptr;
  return [owner = std::move(owner)]() -> void* { return owner(); };
}

}  // namespace

WindowsServices::WindowsServices(std::function<HWND()> owner, SettingsContext settings_context)
    : message_box(AsOwner(std::move(owner))), settings(std::move(settings_context)) {}

Result<std::unique_ptr<WindowsServices>> WindowsServices::Create(std::function<HWND()> owner) {
  Result<SettingsContext> settings = SettingsContext::ForThisMachine();
  if (!settings) return settings.status();
  return std::make_unique<WindowsServices>(std::move(owner), std::move(*settings));
}

}  // namespace tolvan::windows
