// One COM reference, released with its holder. Windows only.
#pragma once

#ifdef _WIN32

namespace lexora::vendor {

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
