#include "screenshot.h"

#include <cstdio>
#include <set>
#include <vector>

namespace {

constexpr int kColourCap = 64;

// Writes bottom-up 24-bit rows, each padded to four bytes, behind the two BMP headers.
bool WriteBmp(const std::string& path, int width, int height, const std::vector<BYTE>& rows) {
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(rows.size());
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + info.biSizeImage;

  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
                       std::fwrite(&info, sizeof(info), 1, out) == 1 &&
                       std::fwrite(rows.data(), 1, rows.size(), out) == rows.size();
  return std::fclose(out) == 0 && written;
}

}  // namespace

Screenshot SaveWindowImage(HWND window, const std::string& path) {
  Screenshot shot;
  RECT frame;
  if (!GetWindowRect(window, &frame)) return shot;
  shot.width = frame.right - frame.left;
  shot.height = frame.bottom - frame.top;
  if (shot.width <= 0 || shot.height <= 0) return shot;

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, shot.width, shot.height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  const bool copied =
      BitBlt(memory, 0, 0, shot.width, shot.height, screen, frame.left, frame.top, SRCCOPY) != 0;
  SelectObject(memory, previous);

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = shot.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const std::size_t stride = (static_cast<std::size_t>(shot.width) * 3 + 3) & ~std::size_t{3};
  std::vector<BYTE> rows(stride * static_cast<std::size_t>(shot.height));
  const bool read = copied && GetDIBits(memory, bitmap, 0, static_cast<UINT>(shot.height),
                                        rows.data(), &info, DIB_RGB_COLORS) == shot.height;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!read) return shot;

  std::set<DWORD> colours;
  for (int y = 0; y < shot.height && static_cast<int>(colours.size()) < kColourCap; ++y) {
    const BYTE* row = rows.data() + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < shot.width; ++x) {
      colours.insert(RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
    }
  }
  shot.colours = static_cast<int>(colours.size());
  shot.saved = WriteBmp(path, shot.width, shot.height, rows);
  return shot;
}
