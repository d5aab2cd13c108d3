#include <windows.h>

#include "platform/Keyboard.h"

namespace tolvan {
namespace {

bool IsDown(int key) { return (static_cast<unsigned short>(GetKeyState(key)) & 0x8000u) != 0; }

}  // namespace

// VK_SHIFT and VK_CONTROL stand for either key of the pair.
bool WindowsKeyboardState::ShiftDown() const { return IsDown(VK_SHIFT); }
bool WindowsKeyboardState::CtrlDown() const { return IsDown(VK_CONTROL); }

}  // namespace tolvan
