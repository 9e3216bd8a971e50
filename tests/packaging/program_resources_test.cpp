// What Windows reads from the program files themselves: the version information and the
// dialog program's manifest carry the project's version, and each file is named as its
// version information says.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace lexora {
namespace {

struct ProgramFile {
  const char* path;
  const wchar_t* originalName;
};

constexpr ProgramFile kPrograms[] = {
    {LEXORA_DIALOG_PROGRAM, L"Lexora.exe"},
    {LEXORA_CLI_PROGRAM, L"lexora-cli.exe"},
};

std::wstring wide(std::string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::wstring fourPartVersion(DWORD high, DWORD low) {
  return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." +
         std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
}

// The file's version information block, empty when it has none.
std::vector<unsigned char> versionInformation(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<unsigned char> block(size);
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) block.clear();
  return block;
}

std::wstring stringValue(std::vector<unsigned char>& block, const std::wstring& name) {
  const std::wstring query = L"\\StringFileInfo\\080403a8\\" + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || !value) {
    return L"(no " + name + L")";
  }
  const auto* text = static_cast<const wchar_t*>(value);
  return std::wstring(text, wcsnlen(text, length));
}

TEST(ProgramResources, EachProgramCarriesTheProjectVersionAndItsOwnFileName) {
  const std::wstring version = wide(LEXORA_FILE_VERSION);
  for (const ProgramFile& program : kPrograms) {
    SCOPED_TRACE(program.path);
    const std::wstring path = wide(program.path);
    EXPECT_EQ(std::filesystem::path(path).filename().wstring(), program.originalName);
    std::vector<unsigned char> block = versionInformation(path);
    ASSERT_FALSE(block.empty());
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &value, &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fourPartVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS), version);
    EXPECT_EQ(fourPartVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS), version);
    EXPECT_EQ(stringValue(block, L"FileVersion"), version);
    EXPECT_EQ(stringValue(block, L"ProductVersion"), version);
    EXPECT_EQ(stringValue(block, L"OriginalFilename"), program.originalName);
  }
}

// The manifest is read as the loader finds it: resource 1 of type RT_MANIFEST.
TEST(ProgramResources, DialogManifestCarriesTheVersionAndPerMonitorDpiAwareness) {
  const HMODULE module = LoadLibraryExW(wide(LEXORA_DIALOG_PROGRAM).c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  std::string manifest;
  if (const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
    if (const HGLOBAL loaded = LoadResource(module, resource)) {
      manifest.assign(static_cast<const char*>(LockResource(loaded)),
                      SizeofResource(module, resource));
    }
  }
  FreeLibrary(module);
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find(std::string("version=\"") + LEXORA_FILE_VERSION + "\""),
            std::string::npos);
  EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
  EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
}

}  // namespace
}  // namespace lexora
