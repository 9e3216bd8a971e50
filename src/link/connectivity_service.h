// The connectivity service as the link sees it: device manager -> device collection ->
// device -> property collection / property, and the named channel with its event sink.
// The interfaces follow the handheld vendor's COM server method for method, so that the
// vendor's service (Windows), our socket service and the in-process fake are
// interchangeable behind them.
//
// Every method returns an HResult; an out-parameter that receives an interface carries one
// reference, which the caller releases. A success that leaves such an out-parameter null
// is treated by the link as a failure.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/service_object.h"
#include "link/variant.h"

namespace lexora {

// The ids end alike: ...-A0F4-46DF-B82A-548CFB08755E.
inline constexpr Guid vendorIid(uint32_t first) {
  return {first, 0xA0F4, 0x46DF, {0xB8, 0x2A, 0x54, 0x8C, 0xFB, 0x08, 0x75, 0x5E}};
}

// The sink the service calls on threads of its own. Implemented by USBLink.
class IChannelEvents : public IObject {
 public:
  static constexpr Guid kIid = vendorIid(0xC7168312);
  virtual HResult OnQuery() = 0;
  // `answer` points to 20 bytes for the password's digest. kSOk when answered; a failure
  // (the user cancelled) refuses the challenge and leaves `answer` untouched.
  virtual HResult OnPasswordChallenge(int32_t attemptsRemaining, uint8_t* answer) = 0;
  virtual HResult OnDataReady() = 0;
  virtual HResult OnChannelClosed() = 0;
};

// The channel the companion application on the handheld listens on.
inline constexpr std::u16string_view kChannelName = u"Lexora";

// The device property that holds the handheld's PIN. ASCII, so its ANSI bytes are its
// code units.
inline constexpr std::u16string_view kPinPropertyName = u"BBPIN";

// Largest message one channel read delivers.
inline constexpr uint32_t kChannelReadCapacity = 65535;

class IChannel : public IObject {
 public:
  static constexpr Guid kIid = vendorIid(0xC7168311);
  // Takes one whole incoming message (never part of one) into `buffer`; *delivered is its
  // size. Fails when no message is waiting or it does not fit `capacity`.
  virtual HResult Read(uint8_t* buffer, uint32_t capacity, uint32_t* delivered) = 0;
  // Sends `count` bytes as one write; succeeds only when the device accepted them.
  virtual HResult Write(const uint8_t* data, uint32_t count) = 0;
};

class IProperty : public IObject {
 public:
  static constexpr Guid kIid = vendorIid(0xC7168310);
  virtual HResult GetName(std::u16string* name) = 0;
  virtual HResult GetValue(Variant* value) = 0;
};

class IPropertyCollection : public IObject {
 public:
  static constexpr Guid kIid = vendorIid(0xC716830F);
  virtual HResult GetCount(int32_t* count) = 0;
  // `index` is an Int32 variant, as the vendor's collection expects.
  virtual HResult GetItem(const Variant& index, IProperty** property) = 0;
};

class IDevice : public IObject {
 public:
  static constexpr Guid kIid = vendorIid(0xC716830E);
  virtual HResult GetProperties(IPropertyCollection** properties) = 0;
  // Opens the channel `name` to an application on the device. The service keeps a
  // reference to `sink` and calls it (password challenge included, possibly before this
  // returns) until it has reported the channel closed.
  virtual HResult OpenChannel(std::u16string_view name, IChannelEvents* sink,
                              IChannel** channel) = 0;
};

class IDeviceCollection : public IObject {
 public:
  static constexpr Guid kIid = vendorIid(0xC716830D);
  virtual HResult GetCount(uint32_t* count) = 0;
  virtual HResult GetItem(int32_t index, IDevice** device) = 0;
};

class IDeviceManager : public IObject {
 public:
  static constexpr Guid kIid = vendorIid(0xC716830B);
  virtual HResult GetDevices(IDeviceCollection** devices) = 0;
  // The handheld's own words for why it turned away the last GetDevices, or refused the
  // last OpenChannel, through this manager; empty when it gave none. Not the vendor's: its
  // service gives no reason, and the wrapper around it answers empty.
  virtual HResult GetHandheldReason(std::u16string* reason) = 0;
};

// Creates and starts the service and hands out its device manager (the vendor's
// CoCreateInstance, OleRun and QueryInterface in one). A backend is chosen by choosing
// the factory.
using ServiceFactory = std::function<HResult(IDeviceManager** manager)>;

}  // namespace lexora
