#include "link/com/in_process_server.h"

#include <atomic>
#include <cstdlib>

namespace lexora::test {
namespace {

std::atomic<InProcessServer*> gInnermost{nullptr};
DWORD gRegistration = 0;

}  // namespace

InProcessServer::InProcessServer(ServiceFactory service, ServerFaults faults)
    : outer_(gInnermost.load()), service_(std::move(service)), faults_(faults) {
  // Never left: the apartment's end would revoke the class, and a later test's join would
  // race the tear-down of the service's own threads.
  static const bool joined = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  if (!joined) std::abort();
  if (!outer_) {
    IClassFactory* factory = newServiceClassFactory([](ServiceFactory& s, ServerFaults& f) {
      if (InProcessServer* current = gInnermost.load()) {
        s = current->service_;
        f = current->faults_;
      }
    });
    const HRESULT hr =
        CoRegisterClassObject(CLSID_VendorDeviceManager, factory, CLSCTX_INPROC_SERVER,
                              REGCLS_MULTIPLEUSE, &gRegistration);
    factory->Release();
    if (FAILED(hr)) std::abort();
  }
  gInnermost = this;
}

InProcessServer::~InProcessServer() {
  gInnermost = outer_;
  if (!outer_) CoRevokeClassObject(gRegistration);
}

}  // namespace lexora::test
