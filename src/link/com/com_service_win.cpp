#include "link/com/com_service_win.h"

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <atomic>

#include "link/com/com_ref.h"
#include "link/com/vendor_interfaces.h"

namespace lexora {
namespace {

using vendor::ComRef;

// The vendor's service calls this object; it passes every call on to the link's sink.
class SinkBridge final : public IVendorChannelEvents {
 public:
  explicit SinkBridge(lexora::IChannelEvents* sink)
      : sink_(Ref<lexora::IChannelEvents>::retain(sink)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (!IsEqualIID(iid, IID_IVendorChannelEvents) && !IsEqualIID(iid, IID_IUnknown)) {
      return E_NOINTERFACE;
    }
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
  const Ref<lexora::IChannelEvents> sink_;
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
  HResult GetHandheldReason(std::u16string* reason) override {
    if (!reason) return E_POINTER;
    reason->clear();
    return S_OK;
  }
};

// Whether `object` is a proxy for one in another process: only proxies answer IMultiQI.
bool livesElsewhere(IUnknown* object) {
  ComRef<IMultiQI> multi;
  return SUCCEEDED(object->QueryInterface(IID_IMultiQI, reinterpret_cast<void**>(multi.put())));
}

// Whether this program can call the interface in another process: its proxy/stub is
// registered, and for programs of this kind (a 64-bit program does not load a 32-bit one).
bool proxyStubRegistered(REFIID iid) {
  CLSID proxyStub;
  if (FAILED(CoGetPSClsid(iid, &proxyStub))) return false;
  ComRef<IUnknown> factory;
  return SUCCEEDED(CoGetClassObject(proxyStub, CLSCTX_INPROC_SERVER, nullptr, IID_IPSFactoryBuffer,
                                    reinterpret_cast<void**>(factory.put())));
}

}  // namespace

ServiceFactory vendorServiceFactory() {
  return [](IDeviceManager** manager) -> HResult {
    if (!manager) return E_POINTER;
    ComRef<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(CLSID_VendorDeviceManager, nullptr, CLSCTX_ALL, IID_IUnknown,
                                  reinterpret_cast<void**>(unknown.put()));
    if (FAILED(hr) || !unknown.get()) return FAILED(hr) ? hr : E_FAIL;
    hr = OleRun(unknown.get());
    if (FAILED(hr)) return hr;
    ComRef<IVendorDeviceManager> vendor;
    hr = unknown->QueryInterface(IID_IVendorDeviceManager, reinterpret_cast<void**>(vendor.put()));
    if (FAILED(hr)) {
      return livesElsewhere(unknown.get()) && !proxyStubRegistered(IID_IVendorDeviceManager)
                 ? REGDB_E_IIDNOTREG
                 : hr;
    }
    *manager = vendor.get() ? new ComDeviceManager(vendor.detach()) : nullptr;
    return hr;
  };
}

}  // namespace lexora
