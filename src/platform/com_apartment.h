// Joins the calling thread to COM's multithreaded apartment for the object's life, where
// COM exists (Windows); elsewhere it does nothing. The transfer job's worker holds one, as
// every call into the connectivity service is made from that thread.
#pragma once

#ifdef _WIN32
#include <objbase.h>
#endif

namespace lexora {

class ComApartment {
 public:
#ifdef _WIN32
  ComApartment() : joined_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~ComApartment() {
    if (joined_) CoUninitialize();
  }
#else
  ComApartment() = default;
#endif
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
#ifdef _WIN32
  bool joined_;
#endif
};

}  // namespace lexora
