#include "link/com/server_counts.h"

#include <objbase.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <unordered_set>

namespace lexora::test {
namespace {

std::atomic<int> gVariantObjects{0};
std::atomic<int> gSinkReferences{0};
std::atomic<int> gExportedObjects{0};

// Watches the task allocator, which BSTRs come from once OLE's string cache is off, and
// keeps the blocks allocated while the server makes a BSTR until they are freed.
class BstrSpy final : public IMallocSpy {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IMallocSpy)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IMallocSpy*>(this);
    return S_OK;
  }
  // Lives as long as the process: never freed.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T request) override { return request; }
  void* STDMETHODCALLTYPE PostAlloc(void* actual) override {
    if (actual && making) {
      const std::lock_guard lock(mutex_);
      live_.insert(actual);
    }
    return actual;
  }
  void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override {
    const std::lock_guard lock(mutex_);
    live_.erase(request);
    return request;
  }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest,
                                      BOOL) override {
    *newRequest = request;
    return size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

  int live() {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(live_.size());
  }

  static thread_local bool making;

 private:
  std::mutex mutex_;
  std::unordered_set<void*> live_;
};

thread_local bool BstrSpy::making = false;

BstrSpy& spy() {
  static BstrSpy* const installed = [] {
    // A freed BSTR kept in OLE's cache would never reach the allocator.
    using SetOaNoCacheFunction = void(WINAPI*)();
    if (const HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll")) {
      if (const auto noCache = reinterpret_cast<SetOaNoCacheFunction>(
              reinterpret_cast<void*>(GetProcAddress(oleaut, "SetOaNoCache")))) {
        noCache();
      }
    }
    auto* s = new BstrSpy;
    CoRegisterMallocSpy(s);
    return s;
  }();
  return *installed;
}

}  // namespace

ServerCounts liveServerObjects() {
  return {spy().live(), gVariantObjects.load(), gSinkReferences.load()};
}

BSTR countedBstr(std::u16string_view text) {
  spy();
  BstrSpy::making = true;
  BSTR made = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                static_cast<UINT>(text.size()));
  BstrSpy::making = false;
  return made;
}

bool bstrsAreCounted() {
  const int before = spy().live();
  BSTR probe = countedBstr(u"probe");
  const bool seen = probe && spy().live() == before + 1;
  SysFreeString(probe);
  return seen && spy().live() == before;
}

void countVariantObject(int change) {
  gVariantObjects += change;
}

void countSinkReference(int change) {
  gSinkReferences += change;
}

int liveExportedObjects() {
  return gExportedObjects.load();
}

void countExportedObject(int change) {
  gExportedObjects += change;
}

}  // namespace lexora::test
