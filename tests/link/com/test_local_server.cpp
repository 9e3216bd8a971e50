// The test connectivity server in a process of its own, as the vendor's service runs: a
// local server registered under LocalServer32, which COM starts with -Embedding when a
// client creates the class. Its class object is registered for many clients
// (REGCLS_MULTIPLEUSE) and its device manager is runnable, so the client's OleRun really
// runs it. Every call, and every callback into the client's sink, crosses the process
// boundary through the vendor's proxy/stub, which the prefix registers as the vendor's
// installer would. The channel goes to lexora-handheld over the socket service, at the
// address in LEXORA_TEST_SERVER_DEVICE (HOST:PORT) when the server started; without one
// there is no handheld. A failed call into a client's sink is written to
// LEXORA_TEST_SERVER_LOG when set, and the server goes on.
//
// usage: lexora_test_local_server.exe /RegServer | /UnregServer | -Embedding
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "link/com/server_counts.h"
#include "link/com/service_export.h"
#include "link/socket/socket_service.h"

namespace {

using namespace std::chrono_literals;

// Under HKEY_CLASSES_ROOT, as a regular COM server registers (Wine's COM does not look at
// the per-user classes).
constexpr wchar_t kClassKey[] = L"CLSID\\{BA3D0120-E617-4F66-ADCA-585CC2FB86DB}";

// Once the last object is given back the process ends, so that the next client starts a
// server that reads the environment afresh; a client that never comes is not waited for.
constexpr auto kIdleAfterUse = 2s;
constexpr auto kIdleBeforeUse = 30s;

void log(const std::string& text) {
  static std::mutex mutex;
  const std::lock_guard lock(mutex);
  const char* path = std::getenv("LEXORA_TEST_SERVER_LOG");
  if (!path || !*path) return;
  if (std::FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s\n", text.c_str());
    std::fclose(f);
  }
}

lexora::ServiceFactory handheldService() {
  const char* device = std::getenv("LEXORA_TEST_SERVER_DEVICE");
  if (!device || !*device) return {};
  lexora::SocketServiceOptions options;
  options.address = device;
  options.diagnostics = [](const std::string& text) { log("socket service: " + text); };
  return lexora::socketServiceFactory(std::move(options));
}

bool setValue(HKEY key, const wchar_t* name, const std::wstring& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool unregister() {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// Registers the class as served by this program alone: any in-process registration of the
// same class goes, or COM would prefer it.
bool registerServer() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || !unregister()) return false;
  HKEY key = nullptr;
  const std::wstring serverKey = std::wstring(kClassKey) + L"\\LocalServer32";
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, serverKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool written = setValue(key, nullptr, L"\"" + std::wstring(path) + L"\"");
  RegCloseKey(key);
  return written;
}

int serve() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  lexora::test::setSinkFailureReport([](const char* call, HRESULT hr) {
    char text[96];
    std::snprintf(text, sizeof text, "sink %s failed: 0x%08lX", call,
                  static_cast<unsigned long>(hr));
    log(text);
  });
  IClassFactory* factory = lexora::test::newServiceClassFactory(
      [service = handheldService()](lexora::ServiceFactory& s, lexora::test::ServerFaults&) {
        s = service;
      });
  DWORD registration = 0;
  const HRESULT hr = CoRegisterClassObject(CLSID_VendorDeviceManager, factory, CLSCTX_LOCAL_SERVER,
                                           REGCLS_MULTIPLEUSE, &registration);
  factory->Release();
  if (FAILED(hr)) return 1;
  bool used = false;
  auto idle = 0ms;
  while (idle < (used ? kIdleAfterUse : kIdleBeforeUse)) {
    std::this_thread::sleep_for(100ms);
    if (lexora::test::liveExportedObjects() > 0) {
      used = true;
      idle = 0ms;
    } else {
      idle += 100ms;
    }
  }
  CoRevokeClassObject(registration);
  log("no client left: the server ends");
  // The socket service's reader threads may still be winding down: no orderly tear-down.
  ExitProcess(0);
}

bool isOption(const char* arg, const char* name) {
  return (arg[0] == '/' || arg[0] == '-') && _stricmp(arg + 1, name) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && isOption(argv[1], "RegServer")) return registerServer() ? 0 : 1;
  if (argc == 2 && isOption(argv[1], "UnregServer")) return unregister() ? 0 : 1;
  if (argc >= 2 && isOption(argv[1], "Embedding")) return serve();
  std::fprintf(stderr,
               "usage: lexora_test_local_server.exe /RegServer | /UnregServer | -Embedding\n");
  return 2;
}
