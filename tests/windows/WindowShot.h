// A window as the screen shows it, frame included, written as a 24-bit BMP
// file: the test programs' screenshots under Wine.
#pragma once

#include <windows.h>

#include <string>

namespace tolvan::windows::testing {

// Handles every message waiting for this thread (`dialog` gets its dialog
// keys first when it is a window).
void Pump(HWND dialog);

// Redraws `window`, lets it settle and writes what the screen shows of it
// to `path` (UTF-8). Prints the path when written.
bool SaveWindow(HWND window, const std::string& path);

}  // namespace tolvan::windows::testing
