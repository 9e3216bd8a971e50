#ifdef _WIN32

#include "link/com/com_service_win.h"

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <atomic>

namespace lexora {
namespace {

// The vendor's interfaces, slot for slot after IUnknown's three, as far as Lexora calls
// them. The channel's first three methods are not used; they only hold their slots.
struct IVendorChannelEvents : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OnQuery() = 0;
  virtual HRESULT STDMETHODCALLTYPE OnPasswordChallenge(LONG attemptsRemaining, BYTE* answer) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDataReady() = 0;
  virtual HRESULT STDMETHODCALLTYPE OnChannelClosed() = 0;
};
struct IVendorChannel : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Unused1() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused2() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused3() = 0;
  virtual HRESULT STDMETHODCALLTYPE Read(BYTE* buffer, ULONG capacity, ULONG* delivered) = 0;
  virtual HRESULT STDMETHODCALLTYPE Write(const BYTE* data, ULONG count) = 0;
};
struct IVendorProperty : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetName(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetValue(VARIANT* value) = 0;
};
struct IVendorPropertyCollection : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetCount(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetItem(VARIANT index, IVendorProperty** property) = 0;
};
struct IVendorDevice : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetProperties(IVendorPropertyCollection** properties) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenChannel(BSTR name, IVendorChannelEvents* sink,
                                                IVendorChannel** channel) = 0;
};
struct IVendorDeviceCollection : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetCount(ULONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetItem(LONG index, IVendorDevice** device) = 0;
};
struct IVendorDeviceManager : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetDevices(IVendorDeviceCollection** devices) = 0;
};

constexpr CLSID kDeviceManagerClass = {
    0xBA3D0120, 0xE617, 0x4F66, {0xAD, 0xCA, 0x58, 0x5C, 0xC2, 0xFB, 0x86, 0xDB}};

GUID toGuid(const Guid& g) {
  GUID out;
  out.Data1 = g.data1;
  out.Data2 = g.data2;
  out.Data3 = g.data3;
  for (int i = 0; i < 8; ++i) out.Data4[i] = g.data4[i];
  return out;
}

Guid fromGuid(REFIID g) {
  Guid out{g.Data1, g.Data2, g.Data3, {}};
  for (int i = 0; i < 8; ++i) out.data4[i] = g.Data4[i];
  return out;
}

// One reference to a vendor object.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** put() {
    if (p_) p_->Release();
    p_ = nullptr;
    return &p_;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T* detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }

 private:
  T* p_ = nullptr;
};

// The vendor's service calls this object; it passes every call on to the link's sink.
class SinkBridge final : public IVendorChannelEvents {
 public:
  explicit SinkBridge(IChannelEvents* sink) : sink_(Ref<IChannelEvents>::retain(sink)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    const Guid id = fromGuid(iid);
    if (!(id == IChannelEvents::kIid) && !(id == kIidObject)) return E_NOINTERFACE;
    *out = static_cast<IVendorChannelEvents*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE OnQuery() override { return sink_->OnQuery(); }
  HRESULT STDMETHODCALLTYPE OnPasswordChallenge(LONG attempts, BYTE* answer) override {
    return sink_->OnPasswordChallenge(attempts, answer);
  }
  HRESULT STDMETHODCALLTYPE OnDataReady() override { return sink_->OnDataReady(); }
  HRESULT STDMETHODCALLTYPE OnChannelClosed() override { return sink_->OnChannelClosed(); }

 private:
  ~SinkBridge() = default;
  std::atomic<ULONG> count_{1};
  Ref<IChannelEvents> sink_;
};

template <class I, class V>
class Wrapper : public RefCounted<I> {
 public:
  explicit Wrapper(V* vendor) : vendor_(vendor) {}

 protected:
  ~Wrapper() override { vendor_->Release(); }
  V* vendor_;  // one reference, taken over at construction
};

class ComChannel final : public Wrapper<IChannel, IVendorChannel> {
 public:
  using Wrapper::Wrapper;
  HResult Read(uint8_t* buffer, uint32_t capacity, uint32_t* delivered) override {
    ULONG count = 0;
    const HRESULT hr = vendor_->Read(buffer, capacity, &count);
    if (SUCCEEDED(hr) && delivered) *delivered = count;
    return hr;
  }
  HResult Write(const uint8_t* data, uint32_t count) override {
    return vendor_->Write(data, count);
  }
};

class ComProperty final : public Wrapper<IProperty, IVendorProperty> {
 public:
  using Wrapper::Wrapper;
  HResult GetName(std::u16string* name) override {
    BSTR text = nullptr;
    const HRESULT hr = vendor_->GetName(&text);
    if (FAILED(hr)) return hr;
    if (name) {
      name->assign(reinterpret_cast<const char16_t*>(text ? text : L""), SysStringLen(text));
    }
    SysFreeString(text);
    return hr;
  }
  // The link understands integers and text; any other value is handed on as the text it
  // converts to, or as text no integer can come from.
  HResult GetValue(Variant* value) override {
    VARIANT v;
    VariantInit(&v);
    const HRESULT hr = vendor_->GetValue(&v);
    if (FAILED(hr)) return hr;
    if (value) {
      VARIANT converted;
      VariantInit(&converted);
      if (v.vt == VT_EMPTY) {
        *value = Variant{};
      } else if (SUCCEEDED(VariantChangeType(&converted, &v, 0, VT_I4))) {
        *value = Variant::fromInt32(converted.lVal);
      } else if (SUCCEEDED(VariantChangeType(&converted, &v, 0, VT_BSTR))) {
        *value = Variant::fromString(std::u16string(
            reinterpret_cast<const char16_t*>(converted.bstrVal), SysStringLen(converted.bstrVal)));
      } else {
        *value = Variant::fromString(u"");
      }
      VariantClear(&converted);
    }
    VariantClear(&v);
    return hr;
  }
};

class ComPropertyCollection final : public Wrapper<IPropertyCollection, IVendorPropertyCollection> {
 public:
  using Wrapper::Wrapper;
  HResult GetCount(int32_t* count) override {
    LONG n = 0;
    const HRESULT hr = vendor_->GetCount(&n);
    if (SUCCEEDED(hr) && count) *count = n;
    return hr;
  }
  HResult GetItem(const Variant& index, IProperty** property) override {
    if (!property) return E_POINTER;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = index.int32;
    ComRef<IVendorProperty> vendor;
    const HRESULT hr = vendor_->GetItem(v, vendor.put());
    if (FAILED(hr)) return hr;
    *property = vendor.get() ? new ComProperty(vendor.detach()) : nullptr;
    return hr;
  }
};

class ComDevice final : public Wrapper<IDevice, IVendorDevice> {
 public:
  using Wrapper::Wrapper;
  HResult GetProperties(IPropertyCollection** properties) override {
    if (!properties) return E_POINTER;
    ComRef<IVendorPropertyCollection> vendor;
    const HRESULT hr = vendor_->GetProperties(vendor.put());
    if (FAILED(hr)) return hr;
    *properties = vendor.get() ? new ComPropertyCollection(vendor.detach()) : nullptr;
    return hr;
  }
  HResult OpenChannel(std::u16string_view name, IChannelEvents* sink, IChannel** channel) override {
    if (!channel || !sink) return E_POINTER;
    BSTR bstrName = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(name.data()),
                                      static_cast<UINT>(name.size()));
    SinkBridge* bridge = new SinkBridge(sink);
    ComRef<IVendorChannel> vendor;
    const HRESULT hr = vendor_->OpenChannel(bstrName, bridge, vendor.put());
    bridge->Release();  // the service holds its own reference while it needs the sink
    SysFreeString(bstrName);
    if (FAILED(hr)) return hr;
    *channel = vendor.get() ? new ComChannel(vendor.detach()) : nullptr;
    return hr;
  }
};

class ComDeviceCollection final : public Wrapper<IDeviceCollection, IVendorDeviceCollection> {
 public:
  using Wrapper::Wrapper;
  HResult GetCount(uint32_t* count) override {
    ULONG n = 0;
    const HRESULT hr = vendor_->GetCount(&n);
    if (SUCCEEDED(hr) && count) *count = n;
    return hr;
  }
  HResult GetItem(int32_t index, IDevice** device) override {
    if (!device) return E_POINTER;
    ComRef<IVendorDevice> vendor;
    const HRESULT hr = vendor_->GetItem(index, vendor.put());
    if (FAILED(hr)) return hr;
    *device = vendor.get() ? new ComDevice(vendor.detach()) : nullptr;
    return hr;
  }
};

class ComDeviceManager final : public Wrapper<IDeviceManager, IVendorDeviceManager> {
 public:
  using Wrapper::Wrapper;
  HResult GetDevices(IDeviceCollection** devices) override {
    if (!devices) return E_POINTER;
    ComRef<IVendorDeviceCollection> vendor;
    const HRESULT hr = vendor_->GetDevices(vendor.put());
    if (FAILED(hr)) return hr;
    *devices = vendor.get() ? new ComDeviceCollection(vendor.detach()) : nullptr;
    return hr;
  }
};

}  // namespace

ServiceFactory vendorServiceFactory() {
  return [](IDeviceManager** manager) -> HResult {
    if (!manager) return E_POINTER;
    ComRef<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(kDeviceManagerClass, nullptr, CLSCTX_ALL, IID_IUnknown,
                                  reinterpret_cast<void**>(unknown.put()));
    if (FAILED(hr) || !unknown.get()) return FAILED(hr) ? hr : E_FAIL;
    hr = OleRun(unknown.get());
    if (FAILED(hr)) return hr;
    const GUID managerId = toGuid(IDeviceManager::kIid);
    ComRef<IVendorDeviceManager> vendor;
    hr = unknown->QueryInterface(managerId, reinterpret_cast<void**>(vendor.put()));
    if (FAILED(hr)) return hr;
    *manager = vendor.get() ? new ComDeviceManager(vendor.detach()) : nullptr;
    return hr;
  };
}

}  // namespace lexora

#endif  // _WIN32
