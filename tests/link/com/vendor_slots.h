/* Where each vendor method the client calls sits in its interface's table, as the
   generated header lays it out: 1 for the first method after IUnknown's three. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

struct VendorSlot {
  const char* interfaceName;
  const char* method;
  int slot;
};

extern const struct VendorSlot kVendorSlots[];
extern const int kVendorSlotCount;

#ifdef __cplusplus
}
#endif
