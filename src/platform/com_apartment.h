// Joins the calling thread to COM's multithreaded apartment for the object's life, where
// COM exists (Windows); elsewhere it does nothing. The transfer job's worker holds one, as
// every call into the connectivity service is made from that thread.
#pragma once

namespace lexora {

class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  // Whether CoUninitialize is owed; the systems without COM never set it.
  [[maybe_unused]] bool joined_ = false;
};

}  // namespace lexora
