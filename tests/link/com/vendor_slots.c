/* Counted in C, where the generated header declares each interface's table of function
   pointers as a struct: a method's offset in it is its slot. */
#include "link/com/vendor_slots.h"

#include <stddef.h>

#include "link/com/vendor_interfaces.h"

#define SLOT(iface, method) \
  { #iface, #method, (int)(offsetof(iface##Vtbl, method) / sizeof(void*)) - 2 }

const struct VendorSlot kVendorSlots[] = {
    SLOT(IVendorDeviceManager, GetDevices),
    SLOT(IVendorDeviceCollection, GetCount),
    SLOT(IVendorDeviceCollection, GetItem),
    SLOT(IVendorDevice, GetProperties),
    SLOT(IVendorDevice, OpenChannel),
    SLOT(IVendorPropertyCollection, GetCount),
    SLOT(IVendorPropertyCollection, GetItem),
    SLOT(IVendorProperty, GetName),
    SLOT(IVendorProperty, GetValue),
    SLOT(IVendorChannel, Read),
    SLOT(IVendorChannel, Write),
    SLOT(IVendorChannelEvents, OnQuery),
    SLOT(IVendorChannelEvents, OnPasswordChallenge),
    SLOT(IVendorChannelEvents, OnDataReady),
    SLOT(IVendorChannelEvents, OnChannelClosed),
};
const int kVendorSlotCount = (int)(sizeof kVendorSlots / sizeof kVendorSlots[0]);
