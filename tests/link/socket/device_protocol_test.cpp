// The device list's texts carry a 16-bit length: what does not fit must come back as a
// shorter text, not one ending in a broken character.
#include "link/socket/device_protocol.h"

#include <gtest/gtest.h>

#include <string>

namespace lexora::device_protocol {
namespace {

TEST(DeviceProtocolTest, ATextTooLongForItsLengthIsCutBetweenCharacters) {
  // 21,845 three-byte characters are 65,535 bytes; one ASCII letter in front pushes the
  // last character across the limit.
  const std::u16string name = u"x" + std::u16string(21845, u'字');
  const std::vector<DeviceDescription> sent = {
      {{{name, Variant::fromString(name)}}},
  };
  std::string error;
  const auto got = decodeDevices(encodeDevices(sent), error);
  ASSERT_TRUE(got) << error;
  ASSERT_EQ(got->size(), 1u);
  ASSERT_EQ((*got)[0].properties.size(), 1u);
  const std::u16string expected = name.substr(0, name.size() - 1);
  EXPECT_EQ((*got)[0].properties[0].name, expected);
  EXPECT_EQ((*got)[0].properties[0].value.string, expected);
}

}  // namespace
}  // namespace lexora::device_protocol
