// The object model the connectivity service is built on, shaped like COM: every object is
// reference counted, answers QueryInterface by interface id, and is handed out through
// out-parameters that carry one reference. `Ref` holds such a reference and releases it.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "link/hresult.h"

namespace lexora {

struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
  friend bool operator==(const Guid&, const Guid&) = default;
};

// {00000000-0000-0000-C000-000000000046}, the id every object answers to.
inline constexpr Guid kIidObject = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IObject {
 public:
  // Stores the object in *out with one added reference when it has interface `iid`;
  // otherwise kENoInterface and *out untouched.
  virtual HResult QueryInterface(const Guid& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  // Destroys the object when the count reaches 0.
  virtual uint32_t Release() = 0;

 protected:
  ~IObject() = default;
};

// One reference to a service object.
template <class T>
class Ref {
 public:
  Ref() = default;
  // Takes over a reference the caller already owns.
  static Ref adopt(T* object) {
    Ref ref;
    ref.object_ = object;
    return ref;
  }
  // Adds a reference of its own.
  static Ref retain(T* object) {
    if (object) object->AddRef();
    return adopt(object);
  }
  Ref(const Ref& other) : object_(other.object_) {
    if (object_) object_->AddRef();
  }
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Ref() { reset(); }

  void reset() {
    if (T* object = std::exchange(object_, nullptr)) object->Release();
  }
  // For out-parameters: drops the current reference and receives the new one.
  T** put() {
    reset();
    return &object_;
  }
  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

// The one reference-counting base of every service object and of USBLink: AddRef and
// Release on an atomic count, and QueryInterface over the listed interfaces (each names its
// id as kIid; the first also answers for IObject). Made with `new`, starting with the one
// reference its creator holds; the last Release destroys it, on whichever thread calls it.
template <class First, class... Rest>
class RefCounted : public First, public Rest... {
 public:
  HResult QueryInterface(const Guid& iid, void** out) override {
    if (!out) return kEPointer;
    void* found = iid == kIidObject || iid == First::kIid ? static_cast<First*>(this) : nullptr;
    ((found = found ? found : iid == Rest::kIid ? static_cast<Rest*>(this) : nullptr), ...);
    if (!found) return kENoInterface;
    *out = found;
    AddRef();
    return kSOk;
  }
  uint32_t AddRef() override { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
  uint32_t Release() override {
    const uint32_t left = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;
  virtual ~RefCounted() = default;

 private:
  std::atomic<uint32_t> count_{1};
};

}  // namespace lexora
