#include "link/service_object.h"

#include <gtest/gtest.h>

#include "link/connectivity_service.h"

namespace lexora {
namespace {

// An object with two interfaces must hand out the right subobject for each: a wrong
// pointer would call into the other interface's table.
class Both final : public RefCounted<IChannel, IDeviceManager> {
 public:
  HResult Read(uint8_t*, uint32_t, uint32_t* delivered) override {
    *delivered = 1;
    return kSOk;
  }
  HResult Write(const uint8_t*, uint32_t) override { return kSOk; }
  HResult GetDevices(IDeviceCollection**) override { return kENoInterface; }
  HResult GetHandheldReason(std::u16string*) override { return kENoInterface; }
};

TEST(RefCountedTest, QueryInterfaceHandsOutEachListedInterfaceAndCountsIt) {
  Ref<Both> object = Ref<Both>::adopt(new Both);
  void* out = nullptr;
  ASSERT_EQ(object->QueryInterface(IDeviceManager::kIid, &out), kSOk);
  Ref<IDeviceManager> manager = Ref<IDeviceManager>::adopt(static_cast<IDeviceManager*>(out));
  EXPECT_EQ(manager->GetDevices(nullptr), kENoInterface);
  ASSERT_EQ(object->QueryInterface(kIidObject, &out), kSOk);
  Ref<IChannel> channel = Ref<IChannel>::adopt(static_cast<IChannel*>(out));
  uint32_t delivered = 0;
  EXPECT_EQ(channel->Read(nullptr, 0, &delivered), kSOk);
  EXPECT_EQ(delivered, 1u);
  EXPECT_EQ(object->AddRef(), 4u);  // the creator's, the two handed out, this one
  EXPECT_EQ(object->Release(), 3u);
}

}  // namespace
}  // namespace lexora
