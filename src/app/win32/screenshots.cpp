// lexora-screenshots.exe FOLDER: renders the main dialog, the About box and the password
// dialog in both languages, each from its template as Lexora.exe shows it, and writes them
// as FOLDER/win-{main,about,password}-{zh,en}.png (scripts/screenshots-windows.sh runs it
// under Wine). A tool for the documentation, not installed.
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/lexora_dialog.h"
#include "app/win32/about_box.h"
#include "app/win32/dialog_resource.h"
#include "app/win32/password_dialog.h"
#include "app/win32/win32_dialog_view.h"
#include "link/password_answer.h"
#include "platform/ui_language.h"

namespace lexora {
namespace {

void pump() {
  const DWORD until = GetTickCount() + 500;
  while (GetTickCount() < until) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  }
}

void appendBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(value >> shift & 0xFF);
}

void appendChunk(std::string& out, const char* type, const std::string& data) {
  appendBigEndian(out, static_cast<uint32_t>(data.size()));
  const std::string body = type + data;
  out += body;
  appendBigEndian(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                   static_cast<uInt>(body.size()))));
}

// The window as it is on the screen, frame included, as an RGB PNG.
bool capture(HWND window, const std::wstring& path) {
  RECT place;
  GetWindowRect(window, &place);
  const int width = place.right - place.left;
  const int height = place.bottom - place.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, place.left, place.top, SRCCOPY);
  GdiFlush();
  std::string rows;
  const auto* pixels = static_cast<const uint8_t*>(bits);
  for (int y = 0; y < height; ++y) {
    rows += '\0';  // no filter
    for (int x = 0; x < width; ++x) {
      const uint8_t* bgra = pixels + (static_cast<size_t>(y) * width + x) * 4;
      rows += static_cast<char>(bgra[2]);
      rows += static_cast<char>(bgra[1]);
      rows += static_cast<char>(bgra[0]);
    }
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  std::string compressed(compressBound(static_cast<uLong>(rows.size())), '\0');
  uLongf size = static_cast<uLongf>(compressed.size());
  compress2(reinterpret_cast<Bytef*>(compressed.data()), &size,
            reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size()), 9);
  compressed.resize(size);
  std::string header;
  appendBigEndian(header, static_cast<uint32_t>(width));
  appendBigEndian(header, static_cast<uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
  std::string png = "\x89PNG\r\n\x1a\n";
  appendChunk(png, "IHDR", header);
  appendChunk(png, "IDAT", compressed);
  appendChunk(png, "IEND", "");
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  const bool written = fwrite(png.data(), 1, png.size(), file) == png.size();
  return fclose(file) == 0 && written;
}

HWND showBox(HINSTANCE instance, const DialogTemplate& dialog, DLGPROC procedure,
             ModalDialogState& state) {
  const std::vector<uint16_t> resource = buildDialogResource(dialog);
  HWND box =
      CreateDialogIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(resource.data()),
                                 nullptr, procedure, reinterpret_cast<LPARAM>(&state));
  SetWindowPos(box, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  pump();
  return box;
}

int run(const std::wstring& folder) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(kIconApplication));
  bool ok = true;
  for (UiLanguage language : {UiLanguage::Chinese, UiLanguage::English}) {
    setUiLanguageForRun(language);
    const std::wstring suffix = language == UiLanguage::Chinese ? L"-zh.png" : L"-en.png";

    Win32DialogView view(instance, icon);
    CLexoraDlg dialog(view, ServiceFactory());
    view.attach(dialog);
    HWND main = view.createModeless(mainDialogTemplate(language));
    SetWindowPos(main, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    pump();
    ok &= capture(main, folder + L"\\win-main" + suffix);
    ShowWindow(main, SW_HIDE);

    AboutBoxState about;
    about.icon = icon;
    HWND box = showBox(instance, aboutBoxTemplate(language), aboutBoxProc, about);
    ok &= capture(box, folder + L"\\win-about" + suffix);
    DestroyWindow(box);

    PasswordDialogState password;
    password.prompt = passwordPrompt(3);
    box = showBox(instance, passwordDialogTemplate(language), passwordDialogProc, password);
    ok &= capture(box, folder + L"\\win-password" + suffix);
    DestroyWindow(box);
  }
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace lexora

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fwprintf(stderr, L"usage: lexora-screenshots FOLDER\n");
    return 2;
  }
  return lexora::run(argv[1]);
}
