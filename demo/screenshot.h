// A picture of a window as the user would see it, saved as PNG.
#pragma once
#include <windows.h>

#include <string>

namespace demo {

bool saveWindowPicture(HWND window, const std::string& pngPath);

}  // namespace demo
