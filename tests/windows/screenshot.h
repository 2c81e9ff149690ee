// Captures a window as the screen shows it and saves it as a 24-bit BMP file.
#pragma once

#include <windows.h>

#include <string>

struct Screenshot {
  bool saved = false;
  int width = 0;
  int height = 0;
  int colours = 0;  // distinct colours, up to a small cap: a blank capture has one
};

Screenshot SaveWindowImage(HWND window, const std::string& path);
