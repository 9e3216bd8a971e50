// The vendor's class, interface ids and method slots as the handheld vendor's service has
// them, written out here by hand, against the header generated from our IDL: a server built
// from the same header would agree with any mistake in it, the vendor's would not.
#include "link/com/vendor_interfaces.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "link/com/vendor_slots.h"
#include "link/connectivity_service.h"

namespace lexora {
namespace {

std::string text(REFGUID id) {
  wchar_t wide[40] = {};
  const int n = StringFromGUID2(id, wide, 40);
  return n > 0 ? std::string(wide, wide + n - 1) : std::string();
}

std::string text(const Guid& id) {
  char out[40];
  std::snprintf(out, sizeof out, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(id.data1), id.data2, id.data3, id.data4[0], id.data4[1],
                id.data4[2], id.data4[3], id.data4[4], id.data4[5], id.data4[6], id.data4[7]);
  return out;
}

TEST(VendorInterfaces, TheClassAndEveryInterfaceHaveTheVendorsIds) {
  EXPECT_EQ(text(CLSID_VendorDeviceManager), "{BA3D0120-E617-4F66-ADCA-585CC2FB86DB}");
  // The link's own ids, which the socket service and the fake answer to, are the same.
  const struct {
    REFIID generated;
    Guid link;
    const char* vendor;
  } ids[] = {
      {IID_IVendorDeviceManager, IDeviceManager::kIid, "{C716830B-A0F4-46DF-B82A-548CFB08755E}"},
      {IID_IVendorDeviceCollection, IDeviceCollection::kIid,
       "{C716830D-A0F4-46DF-B82A-548CFB08755E}"},
      {IID_IVendorDevice, IDevice::kIid, "{C716830E-A0F4-46DF-B82A-548CFB08755E}"},
      {IID_IVendorPropertyCollection, IPropertyCollection::kIid,
       "{C716830F-A0F4-46DF-B82A-548CFB08755E}"},
      {IID_IVendorProperty, IProperty::kIid, "{C7168310-A0F4-46DF-B82A-548CFB08755E}"},
      {IID_IVendorChannel, IChannel::kIid, "{C7168311-A0F4-46DF-B82A-548CFB08755E}"},
      {IID_IVendorChannelEvents, IChannelEvents::kIid, "{C7168312-A0F4-46DF-B82A-548CFB08755E}"},
  };
  for (const auto& id : ids) {
    EXPECT_EQ(text(id.generated), id.vendor);
    EXPECT_EQ(text(id.link), id.vendor);
  }
}

TEST(VendorInterfaces, EveryMethodCalledSitsInTheVendorsSlot) {
  // 1 is the first method after QueryInterface, AddRef and Release.
  const VendorSlot vendor[] = {
      {"IVendorDeviceManager", "GetDevices", 1},
      {"IVendorDeviceCollection", "GetCount", 1},
      {"IVendorDeviceCollection", "GetItem", 2},
      {"IVendorDevice", "GetProperties", 1},
      {"IVendorDevice", "OpenChannel", 2},
      {"IVendorPropertyCollection", "GetCount", 1},
      {"IVendorPropertyCollection", "GetItem", 2},
      {"IVendorProperty", "GetName", 1},
      {"IVendorProperty", "GetValue", 2},
      {"IVendorChannel", "Read", 4},
      {"IVendorChannel", "Write", 5},
      {"IVendorChannelEvents", "OnQuery", 1},
      {"IVendorChannelEvents", "OnPasswordChallenge", 2},
      {"IVendorChannelEvents", "OnDataReady", 3},
      {"IVendorChannelEvents", "OnChannelClosed", 4},
  };
  ASSERT_EQ(kVendorSlotCount, static_cast<int>(std::size(vendor)));
  for (const VendorSlot& expected : vendor) {
    const std::string method = std::string(expected.interfaceName) + "::" + expected.method;
    int found = -1;
    for (int i = 0; i < kVendorSlotCount; ++i) {
      if (method == std::string(kVendorSlots[i].interfaceName) + "::" + kVendorSlots[i].method) {
        found = kVendorSlots[i].slot;
      }
    }
    EXPECT_EQ(found, expected.slot) << method;
  }
}

}  // namespace
}  // namespace lexora
