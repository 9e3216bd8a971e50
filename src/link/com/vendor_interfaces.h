// The handheld vendor's COM interfaces, slot for slot after IUnknown's three, as far as
// Lexora calls them, with the class that creates the device manager. Shared by the client
// (com_service_win.cpp) and the test server that stands in for the vendor's service.
// Windows only.
#pragma once

#ifdef _WIN32

#include <objbase.h>
#include <oleauto.h>

#include "link/connectivity_service.h"

namespace lexora::vendor {

inline GUID toGuid(const Guid& g) {
  GUID out;
  out.Data1 = g.data1;
  out.Data2 = g.data2;
  out.Data3 = g.data3;
  for (int i = 0; i < 8; ++i) out.Data4[i] = g.data4[i];
  return out;
}

inline Guid fromGuid(REFIID g) {
  Guid out{g.Data1, g.Data2, g.Data3, {}};
  for (int i = 0; i < 8; ++i) out.data4[i] = g.Data4[i];
  return out;
}

inline constexpr CLSID kDeviceManagerClass = {
    0xBA3D0120, 0xE617, 0x4F66, {0xAD, 0xCA, 0x58, 0x5C, 0xC2, 0xFB, 0x86, 0xDB}};

// Each names its id as kIid, the same id as the link's interface of the same role.
struct IChannelEvents : IUnknown {
  static constexpr Guid kIid = lexora::IChannelEvents::kIid;
  virtual HRESULT STDMETHODCALLTYPE OnQuery() = 0;
  virtual HRESULT STDMETHODCALLTYPE OnPasswordChallenge(LONG attemptsRemaining, BYTE* answer) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDataReady() = 0;
  virtual HRESULT STDMETHODCALLTYPE OnChannelClosed() = 0;
};
// The first three methods are not used; they only hold their slots.
struct IChannel : IUnknown {
  static constexpr Guid kIid = lexora::IChannel::kIid;
  virtual HRESULT STDMETHODCALLTYPE Unused1() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused2() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused3() = 0;
  virtual HRESULT STDMETHODCALLTYPE Read(BYTE* buffer, ULONG capacity, ULONG* delivered) = 0;
  virtual HRESULT STDMETHODCALLTYPE Write(const BYTE* data, ULONG count) = 0;
};
struct IProperty : IUnknown {
  static constexpr Guid kIid = lexora::IProperty::kIid;
  virtual HRESULT STDMETHODCALLTYPE GetName(BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetValue(VARIANT* value) = 0;
};
struct IPropertyCollection : IUnknown {
  static constexpr Guid kIid = lexora::IPropertyCollection::kIid;
  virtual HRESULT STDMETHODCALLTYPE GetCount(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetItem(VARIANT index, IProperty** property) = 0;
};
struct IDevice : IUnknown {
  static constexpr Guid kIid = lexora::IDevice::kIid;
  virtual HRESULT STDMETHODCALLTYPE GetProperties(IPropertyCollection** properties) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenChannel(BSTR name, IChannelEvents* sink,
                                                IChannel** channel) = 0;
};
struct IDeviceCollection : IUnknown {
  static constexpr Guid kIid = lexora::IDeviceCollection::kIid;
  virtual HRESULT STDMETHODCALLTYPE GetCount(ULONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetItem(LONG index, IDevice** device) = 0;
};
struct IDeviceManager : IUnknown {
  static constexpr Guid kIid = lexora::IDeviceManager::kIid;
  virtual HRESULT STDMETHODCALLTYPE GetDevices(IDeviceCollection** devices) = 0;
};

// One COM reference, released with its holder.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* adopted) : p_(adopted) {}
  ~ComRef() { reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  void reset() {
    if (T* p = p_) {
      p_ = nullptr;
      p->Release();
    }
  }
  T** put() {
    reset();
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

}  // namespace lexora::vendor

#endif  // _WIN32
