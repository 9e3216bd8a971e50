#include "link/usb_link.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "link/password_answer.h"
#include "pack/transfer_message.h"
#include "platform/ansi_code_page.h"

namespace lexora {
namespace {

constexpr int32_t kInitialChunkSize = 1024;
std::atomic<int32_t> gSendChunkSize{kInitialChunkSize};

constexpr size_t kReceiveBufferSize = kMessageHeaderSize + kChannelReadCapacity;

// kPinPropertyName as ANSI bytes with its terminating zero.
constexpr auto kPinAnsi = [] {
  std::array<char, kPinPropertyName.size() + 1> bytes{};
  for (size_t i = 0; i < kPinPropertyName.size(); ++i) {
    bytes[i] = static_cast<char>(kPinPropertyName[i]);
  }
  return bytes;
}();

// The property whose value is the device's PIN, compared as the vendor's name converted
// to the ANSI code page, terminating zero included, so nothing may follow the name.
bool isPinProperty(std::u16string_view name) {
  char converted[256] = {};
  const std::string ansi = ansiCodePage().encode(name);
  std::memcpy(converted, ansi.data(), std::min(ansi.size(), sizeof converted - 1));
  return std::memcmp(converted, kPinAnsi.data(), kPinAnsi.size()) == 0;
}

void halveSendChunkSize() {
  int32_t size = gSendChunkSize.load();
  while (!gSendChunkSize.compare_exchange_weak(size, size / 2)) {
  }
}

}  // namespace

Ref<USBLink> USBLink::create(std::u16string_view channelName, UserInterface& ui,
                             ServiceFactory service, Waits waits) {
  return Ref<USBLink>::adopt(new USBLink(channelName, ui, std::move(service), waits));
}

USBLink::USBLink(std::u16string_view channelName, UserInterface& ui, ServiceFactory service,
                 Waits waits)
    : channelName_(channelName), ui_(ui), service_(std::move(service)), waits_(waits) {}

USBLink::~USBLink() = default;

int USBLink::Open() {
  dataReadyEvent_.reset();
  closedEvent_.reset();
  lastChallenge_ = Challenge::None;
  // Each stage names the failure its early returns stand for.
  openFailure_ = OpenFailure::NoHandheld;
  handheldReason_.clear();

  Ref<IDeviceManager> manager;
  const HResult created = service_ ? service_(manager.put()) : kEFail;
  if (failed(created) || !manager) {
    if (created == kClassNotRegistered) openFailure_ = OpenFailure::ServiceNotInstalled;
    if (created == kInterfaceNotRegistered) openFailure_ = OpenFailure::InterfaceNotRegistered;
    return -1;
  }
  const int result = openThrough(*manager.get());
  if (result != 0) {
    std::u16string reason;
    if (!failed(manager->GetHandheldReason(&reason))) handheldReason_ = std::move(reason);
    // An answer with a reason is not the silence of no handheld at all.
    if (openFailure_ == OpenFailure::NoHandheld && !handheldReason_.empty()) {
      openFailure_ = OpenFailure::TurnedAway;
    }
  }
  return result;
}

int USBLink::openThrough(IDeviceManager& manager) {
  Ref<IDeviceCollection> devices;
  if (failed(manager.GetDevices(devices.put())) || !devices) return -1;
  uint32_t deviceCount = 0;
  if (failed(devices->GetCount(&deviceCount)) || deviceCount == 0) return -1;
  // Only the first device is ever used, however many are connected.
  Ref<IDevice> device;
  if (failed(devices->GetItem(0, device.put())) || !device) return -1;

  openFailure_ = OpenFailure::DeviceUnreadable;
  Ref<IPropertyCollection> properties;
  if (failed(device->GetProperties(properties.put())) || !properties) return -1;
  int32_t propertyCount = 0;
  if (failed(properties->GetCount(&propertyCount))) return -1;
  for (int32_t i = 0; i < propertyCount; ++i) {
    Ref<IProperty> property;
    if (failed(properties->GetItem(Variant::fromInt32(i), property.put())) || !property) {
      return -1;
    }
    std::u16string name;
    if (failed(property->GetName(&name))) return -1;
    Variant value;
    if (failed(property->GetValue(&value))) return -1;
    // The PIN is not used; it only has to be a number.
    if (isPinProperty(name) && !changeTypeToInt32(value)) {
      openFailure_ = OpenFailure::PinNotANumber;
      return -1;
    }
  }

  Ref<IChannel> channel;
  if (failed(device->OpenChannel(channelName_, this, channel.put())) || !channel) {
    switch (lastChallenge_.load()) {
      case Challenge::None:
        openFailure_ = OpenFailure::ChannelRefused;
        break;
      case Challenge::Answered:
        openFailure_ = OpenFailure::PasswordRefused;
        break;
      case Challenge::Cancelled:
        openFailure_ = OpenFailure::PasswordCancelled;
        break;
    }
    return -1;
  }
  channel_ = std::move(channel);
  openFailure_ = OpenFailure::None;
  return 0;
}

bool USBLink::WriteBytes(const uint8_t* data, int32_t length) {
  if (length < 0 || (length > 0 && data == nullptr)) return false;
  int32_t offset = 0;
  while (offset < length) {
    if (!channel_) return false;
    const int32_t n = std::min(length - offset, gSendChunkSize.load());
    if (n <= 0) return false;
    if (failed(channel_->Write(data + offset, static_cast<uint32_t>(n)))) {
      halveSendChunkSize();
      continue;
    }
    offset += n;
  }
  return true;
}

int USBLink::WriteBlock(const uint8_t* data, int32_t length) {
  // The header has 16 bits; a longer block would desynchronise the device's reading.
  if (length < 0 || !fitsMessage(static_cast<size_t>(length))) return -1;
  const auto header = messageLengthField(static_cast<size_t>(length));
  if (!WriteBytes(header.data(), static_cast<int32_t>(header.size()))) return -1;
  if (length > 0 && !WriteBytes(data, length)) return -1;
  return 0;
}

bool USBLink::WaitAndRead(uint8_t* buffer, uint32_t* count) {
  if (!buffer || !count) return false;
  // The data-ready event comes first: data that arrived before the close is still read.
  int signalled = Event::waitAny({&dataReadyEvent_, &closedEvent_, &shortenedEvent_}, waits_.data);
  if (signalled == 2) signalled = Event::waitAny({&dataReadyEvent_, &closedEvent_}, shortWait());
  if (signalled != 0) return false;
  if (!channel_) return false;
  uint32_t delivered = 0;
  if (failed(channel_->Read(buffer, kChannelReadCapacity, &delivered))) return false;
  if (delivered > kChannelReadCapacity) return false;
  *count = delivered;
  return true;
}

int USBLink::ReadMessage(uint8_t& type, std::vector<uint8_t>& payload, int32_t& length) {
  if (!receiveBuffer_) receiveBuffer_ = std::make_unique<uint8_t[]>(kReceiveBufferSize);
  uint8_t* buffer = receiveBuffer_.get();
  uint32_t count = 0;
  if (!WaitAndRead(buffer, &count)) return -1;
  // One read delivers one message whole: short or overlong reads are not acknowledgements.
  MessageDamage damage;
  auto message = readSingleMessage({buffer, count}, damage);
  if (!message) return -1;
  type = static_cast<uint8_t>(message->type);
  payload = std::move(message->payload);
  length = static_cast<int32_t>(payload.size());
  return 0;
}

void USBLink::Close() {
  if (channel_) {
    Ref<IChannel> channel = std::move(channel_);
    channel.reset();
  }
  closedEvent_.wait(shortenedEvent_.wait(std::chrono::milliseconds(0))
                        ? std::min(waits_.close, shortWait())
                        : waits_.close);
}

void USBLink::shortenWaits() {
  std::call_once(shortenOnce_, [this] {
    shortDeadline_ = std::chrono::steady_clock::now() + waits_.close;
    shortenedEvent_.set();
  });
}

std::chrono::milliseconds USBLink::shortWait() const {
  const auto left = shortDeadline_.load() - std::chrono::steady_clock::now();
  return std::max(std::chrono::milliseconds(0), std::chrono::ceil<std::chrono::milliseconds>(left));
}

int32_t USBLink::sendChunkSize() {
  return gSendChunkSize.load();
}
void USBLink::resetSendChunkSizeForTesting() {
  gSendChunkSize.store(kInitialChunkSize);
}

HResult USBLink::OnQuery() {
  return kSOk;
}

HResult USBLink::OnPasswordChallenge(int32_t attemptsRemaining, uint8_t* answer) {
  const HResult result = answerPasswordChallenge(ui_, attemptsRemaining, answer);
  lastChallenge_ = failed(result) ? Challenge::Cancelled : Challenge::Answered;
  return result;
}

HResult USBLink::OnDataReady() {
  dataReadyEvent_.set();
  return kSOk;
}

HResult USBLink::OnChannelClosed() {
  closedEvent_.set();
  return kSOk;
}

}  // namespace lexora
