#include "link/com/service_export.h"

#include <atomic>
#include <memory>
#include <string>
#include <utility>

#include "link/com/server_counts.h"

namespace lexora::test {
namespace {

using vendor::ComRef;

std::function<void(const char*, HRESULT)> gSinkFailureReport;

// The reference counting and QueryInterface of one exported object: IUnknown and the
// vendor interface `V`, plus whatever `extra` adds.
template <class V>
class Exported : public V {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    const bool own = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(V));
    void* found = own ? static_cast<V*>(this) : extra(iid);
    if (!found) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = found;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  Exported() { countExportedObject(+1); }
  virtual ~Exported() { countExportedObject(-1); }
  virtual void* extra(REFIID) { return nullptr; }

 private:
  std::atomic<ULONG> count_{1};
};

// Hands the COM caller a new exported object for a service object, keeping the service's
// answer: a failure as it is, a success without the object as a null out-parameter.
template <class E, class S, class V, class... Extra>
HRESULT hand(HResult status, Ref<S>& object, V** out, const Extra&... extra) {
  if (failed(status)) return status;
  *out = object ? new E(std::move(object), extra...) : nullptr;
  return status;
}

using OddProperties = std::shared_ptr<const std::vector<OddProperty>>;

// The client's sink as the exported service sees it: every call goes to the COM object.
class ImportedSink final : public RefCounted<lexora::IChannelEvents> {
 public:
  explicit ImportedSink(IVendorChannelEvents* sink) : sink_(sink) {
    sink_->AddRef();
    countSinkReference(+1);
  }
  HResult OnQuery() override { return reported("OnQuery", sink_->OnQuery()); }
  HResult OnPasswordChallenge(int32_t attempts, uint8_t* answer) override {
    return reported("OnPasswordChallenge", sink_->OnPasswordChallenge(attempts, answer));
  }
  HResult OnDataReady() override { return reported("OnDataReady", sink_->OnDataReady()); }
  HResult OnChannelClosed() override {
    return reported("OnChannelClosed", sink_->OnChannelClosed());
  }

 private:
  // A refused password (E_FAIL from the challenge) is an answer, not a broken sink.
  static HRESULT reported(const char* call, HRESULT result) {
    if (FAILED(result) && result != E_FAIL && gSinkFailureReport) gSinkFailureReport(call, result);
    return result;
  }
  ~ImportedSink() override {
    sink_->Release();
    countSinkReference(-1);
  }
  IVendorChannelEvents* const sink_;
};

// Whether the sink the client handed over answers as COM requires: the sink's and
// IUnknown's ids give the same object with a counted reference, any other id nothing.
bool sinkAnswersLikeCom(IVendorChannelEvents* sink) {
  void* asSink = nullptr;
  void* asUnknown = nullptr;
  void* other = reinterpret_cast<void*>(1);
  if (FAILED(sink->QueryInterface(IID_IVendorChannelEvents, &asSink)) || asSink != sink)
    return false;
  static_cast<IUnknown*>(asSink)->Release();
  if (FAILED(sink->QueryInterface(IID_IUnknown, &asUnknown)) || !asUnknown) return false;
  static_cast<IUnknown*>(asUnknown)->Release();
  return sink->QueryInterface(IID_IVendorChannel, &other) == E_NOINTERFACE;
}

class ExportedChannel final : public Exported<IVendorChannel> {
 public:
  explicit ExportedChannel(Ref<lexora::IChannel> channel) : channel_(std::move(channel)) {}
  HRESULT STDMETHODCALLTYPE Unused1() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Unused2() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Unused3() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Read(BYTE* buffer, ULONG capacity, ULONG* delivered) override {
    if (!delivered) return E_POINTER;
    uint32_t count = 0;
    const HResult status = channel_->Read(buffer, capacity, &count);
    // Nothing delivered on a failure: the count also bounds what crosses back to the caller.
    *delivered = failed(status) ? 0 : count;
    return status;
  }
  HRESULT STDMETHODCALLTYPE Write(const BYTE* data, ULONG count) override {
    return channel_->Write(data, count);
  }

 private:
  const Ref<lexora::IChannel> channel_;
};

class ExportedProperty final : public Exported<IVendorProperty> {
 public:
  explicit ExportedProperty(Ref<lexora::IProperty> property) : property_(std::move(property)) {}
  HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override {
    if (!name) return E_POINTER;
    std::u16string text;
    const HResult status = property_->GetName(&text);
    if (failed(status)) return status;
    *name = countedBstr(text);
    return *name ? status : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE GetValue(VARIANT* value) override {
    if (!value) return E_POINTER;
    Variant v;
    const HResult status = property_->GetValue(&v);
    if (failed(status)) return status;
    VariantInit(value);
    switch (v.type) {
      case Variant::Type::Empty:
        break;
      case Variant::Type::Int32:
        value->vt = VT_I4;
        value->lVal = v.int32;
        break;
      case Variant::Type::String:
        value->vt = VT_BSTR;
        value->bstrVal = countedBstr(v.string);
        if (!value->bstrVal) return E_OUTOFMEMORY;
        break;
    }
    return status;
  }

 private:
  const Ref<lexora::IProperty> property_;
};

// A value object without a value: converting it to anything fails, as the object says.
class ValuelessObject final : public Exported<IDispatch> {
 public:
  ValuelessObject() { countVariantObject(+1); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  ~ValuelessObject() override { countVariantObject(-1); }
};

class ExportedOddProperty final : public Exported<IVendorProperty> {
 public:
  explicit ExportedOddProperty(OddProperty odd) : odd_(odd) {}
  HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override {
    if (!name) return E_POINTER;
    std::u16string text = u"BBPIN";
    switch (odd_.name) {
      case OddProperty::Name::Pin:
        break;
      case OddProperty::Name::Null:
        *name = nullptr;
        return S_OK;
      case OddProperty::Name::PinThenNul:
        text += u'\0';
        text += u'X';
        break;
      case OddProperty::Name::Long:
        text.append(295, u'x');
        break;
    }
    *name = countedBstr(text);
    return *name ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE GetValue(VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    switch (odd_.value) {
      case OddProperty::Value::Null:
        value->vt = VT_NULL;
        break;
      case OddProperty::Value::True:
        value->vt = VT_BOOL;
        value->boolVal = VARIANT_TRUE;
        break;
      case OddProperty::Value::Real:
        value->vt = VT_R8;
        value->dblVal = 2.5;
        break;
      case OddProperty::Value::Huge:
        value->vt = VT_I8;
        value->llVal = 1LL << 40;
        break;
      case OddProperty::Value::Dispatch:
        value->vt = VT_DISPATCH;
        value->pdispVal = new ValuelessObject;
        break;
      case OddProperty::Value::Text:
        value->vt = VT_BSTR;
        value->bstrVal = countedBstr(u"PIN");
        if (!value->bstrVal) return E_OUTOFMEMORY;
        break;
    }
    return S_OK;
  }

 private:
  const OddProperty odd_;
};

class ExportedPropertyCollection final : public Exported<IVendorPropertyCollection> {
 public:
  ExportedPropertyCollection(Ref<lexora::IPropertyCollection> properties, OddProperties odd)
      : properties_(std::move(properties)), odd_(std::move(odd)) {}
  HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override {
    if (!count) return E_POINTER;
    int32_t n = 0;
    const HResult status = properties_->GetCount(&n);
    if (!failed(status)) *count = n + static_cast<LONG>(odd_->size());
    return status;
  }
  // As strict as the vendor's: the index comes as a VT_I4 variant, nothing else.
  HRESULT STDMETHODCALLTYPE GetItem(VARIANT index, IVendorProperty** property) override {
    if (!property) return E_POINTER;
    if (index.vt != VT_I4) return E_INVALIDARG;
    int32_t own = 0;
    if (!odd_->empty() && !failed(properties_->GetCount(&own)) && index.lVal >= own &&
        index.lVal - own < static_cast<LONG>(odd_->size())) {
      *property = new ExportedOddProperty((*odd_)[static_cast<size_t>(index.lVal - own)]);
      return S_OK;
    }
    Ref<lexora::IProperty> found;
    const HResult status = properties_->GetItem(Variant::fromInt32(index.lVal), found.put());
    return hand<ExportedProperty>(status, found, property);
  }

 private:
  const Ref<lexora::IPropertyCollection> properties_;
  const OddProperties odd_;
};

class ExportedDevice final : public Exported<IVendorDevice> {
 public:
  ExportedDevice(Ref<lexora::IDevice> device, OddProperties odd)
      : device_(std::move(device)), odd_(std::move(odd)) {}
  HRESULT STDMETHODCALLTYPE GetProperties(IVendorPropertyCollection** properties) override {
    if (!properties) return E_POINTER;
    Ref<lexora::IPropertyCollection> found;
    const HResult status = device_->GetProperties(found.put());
    return hand<ExportedPropertyCollection>(status, found, properties, odd_);
  }
  HRESULT STDMETHODCALLTYPE OpenChannel(BSTR name, IVendorChannelEvents* sink,
                                        IVendorChannel** channel) override {
    if (!channel || !sink) return E_POINTER;
    if (!sinkAnswersLikeCom(sink)) return E_NOINTERFACE;
    const std::u16string_view channelName(reinterpret_cast<const char16_t*>(name ? name : L""),
                                          SysStringLen(name));
    // The exported service takes its own reference to the sink while it needs it.
    const Ref<lexora::IChannelEvents> imported =
        Ref<lexora::IChannelEvents>::adopt(new ImportedSink(sink));
    Ref<lexora::IChannel> opened;
    const HResult status = device_->OpenChannel(channelName, imported.get(), opened.put());
    return hand<ExportedChannel>(status, opened, channel);
  }

 private:
  const Ref<lexora::IDevice> device_;
  const OddProperties odd_;
};

class ExportedDeviceCollection final : public Exported<IVendorDeviceCollection> {
 public:
  ExportedDeviceCollection(Ref<lexora::IDeviceCollection> devices, OddProperties odd)
      : devices_(std::move(devices)), odd_(std::move(odd)) {}
  HRESULT STDMETHODCALLTYPE GetCount(ULONG* count) override {
    if (!count) return E_POINTER;
    uint32_t n = 0;
    const HResult status = devices_->GetCount(&n);
    if (!failed(status)) *count = n;
    return status;
  }
  HRESULT STDMETHODCALLTYPE GetItem(LONG index, IVendorDevice** device) override {
    if (!device) return E_POINTER;
    Ref<lexora::IDevice> found;
    const HResult status = devices_->GetItem(index, found.put());
    return hand<ExportedDevice>(status, found, device, odd_);
  }

 private:
  const Ref<lexora::IDeviceCollection> devices_;
  const OddProperties odd_;
};

// The device manager, runnable so that OleRun reaches it.
class ExportedDeviceManager final : public Exported<IVendorDeviceManager>, public IRunnableObject {
 public:
  ExportedDeviceManager(Ref<lexora::IDeviceManager> manager, ServerFaults faults)
      : manager_(std::move(manager)),
        faults_(faults),
        odd_(std::make_shared<const std::vector<OddProperty>>(faults_.oddProperties)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (faults_.withoutManagerInterface && IsEqualIID(iid, IID_IVendorDeviceManager)) {
      if (out) *out = nullptr;
      return E_NOINTERFACE;
    }
    return Exported::QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Exported::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return Exported::Release(); }

  HRESULT STDMETHODCALLTYPE GetDevices(IVendorDeviceCollection** devices) override {
    if (!devices) return E_POINTER;
    Ref<lexora::IDeviceCollection> found;
    const HResult status = manager_->GetDevices(found.put());
    return hand<ExportedDeviceCollection>(status, found, devices, odd_);
  }

  HRESULT STDMETHODCALLTYPE GetRunningClass(CLSID* id) override {
    if (!id) return E_POINTER;
    *id = CLSID_VendorDeviceManager;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Run(IBindCtx*) override {
    if (faults_.refuseRun) return E_FAIL;
    running_ = true;
    return S_OK;
  }
  BOOL STDMETHODCALLTYPE IsRunning() override { return running_; }
  HRESULT STDMETHODCALLTYPE LockRunning(BOOL, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetContainedObject(BOOL) override { return S_OK; }

 private:
  void* extra(REFIID iid) override {
    return IsEqualIID(iid, IID_IRunnableObject) ? static_cast<IRunnableObject*>(this) : nullptr;
  }
  const Ref<lexora::IDeviceManager> manager_;
  const ServerFaults faults_;
  const OddProperties odd_;
  std::atomic<bool> running_{false};
};

class ServiceClassFactory final : public IClassFactory {
 public:
  explicit ServiceClassFactory(ServiceSource source) : source_(std::move(source)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    ServiceFactory service;
    ServerFaults faults;
    source_(service, faults);
    if (!service) return REGDB_E_CLASSNOTREG;
    Ref<lexora::IDeviceManager> manager;
    const HResult status = service(manager.put());
    if (failed(status)) return status;
    // COM itself would query a null object; a service that made none made no manager.
    if (!manager) return E_UNEXPECTED;
    ComRef<ExportedDeviceManager> made(new ExportedDeviceManager(std::move(manager), faults));
    return made->QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  ~ServiceClassFactory() = default;
  std::atomic<ULONG> count_{1};
  const ServiceSource source_;
};

}  // namespace

IClassFactory* newServiceClassFactory(ServiceSource source) {
  return new ServiceClassFactory(std::move(source));
}

void setSinkFailureReport(std::function<void(const char* call, HRESULT result)> report) {
  gSinkFailureReport = std::move(report);
}

}  // namespace lexora::test
