// The test connectivity server as an in-process COM server (a DLL registered in the test
// Wine prefix), so that a separate program such as lexora-cli.exe finds the vendor's class
// through the registry, as it would find the vendor's own service. Its channel is carried
// to lexora-handheld by the socket service, at the address in LEXORA_TEST_SERVER_DEVICE
// (HOST:PORT); without one there is no handheld.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/com/service_export.h"
#include "link/socket/socket_service.h"

namespace {

HMODULE gModule = nullptr;

// Under HKEY_CLASSES_ROOT, as a regular COM server registers (Wine's COM does not look at
// the per-user classes).
constexpr wchar_t kClassKey[] = L"CLSID\\{BA3D0120-E617-4F66-ADCA-585CC2FB86DB}";

lexora::ServiceFactory handheldService() {
  const char* device = std::getenv("LEXORA_TEST_SERVER_DEVICE");
  if (!device || !*device) return {};
  lexora::SocketServiceOptions options;
  options.address = device;
  options.diagnostics = [](const std::string& text) {
    std::fprintf(stderr, "test connectivity server: %s\n", text.c_str());
  };
  return lexora::socketServiceFactory(std::move(options));
}

bool setValue(HKEY key, const wchar_t* name, const std::wstring& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) gModule = instance;
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID id, REFIID iid, LPVOID* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(id, CLSID_VendorDeviceManager)) return CLASS_E_CLASSNOTAVAILABLE;
  // One service per class object: the socket service's options live as long as it does.
  IClassFactory* factory = lexora::test::newServiceClassFactory(
      [service = handheldService()](lexora::ServiceFactory& s, lexora::test::ServerFaults&) {
        s = service;
      });
  const HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

// The socket service's reader threads may outlive every object: never unloaded.
STDAPI DllCanUnloadNow() {
  return S_FALSE;
}

// Registers the class, served by this DLL. "Both": created in the caller's apartment, and
// since the caller joins the multithreaded one, the service's threads call its sink directly.
STDAPI DllRegisterServer() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(gModule, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  HKEY key = nullptr;
  const std::wstring serverKey = std::wstring(kClassKey) + L"\\InprocServer32";
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, serverKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return E_FAIL;
  }
  const bool written = setValue(key, nullptr, path) && setValue(key, L"ThreadingModel", L"Both");
  RegCloseKey(key);
  return written ? S_OK : E_FAIL;
}

STDAPI DllUnregisterServer() {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : E_FAIL;
}
