#include "link/socket/socket_service.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/mutex.h"
#include "base/text_codec.h"
#include "link/socket/device_connection.h"
#include "link/socket/device_protocol.h"
#include "link/socket/socket_connect.h"

namespace lexora {
namespace {

namespace dp = device_protocol;

// The handheld's words are shown to the user as they are, but no control character in
// them reaches a terminal, and a handheld cannot fill the screen.
std::u16string shownText(const std::string& utf8) {
  constexpr size_t kMaxShown = 500;
  std::u16string text = utf8ToUtf16(utf8.substr(0, kMaxShown));
  for (char16_t& c : text) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) c = u'?';
  }
  return text;
}

class SocketChannel final : public RefCounted<IChannel> {
 public:
  explicit SocketChannel(std::shared_ptr<DeviceConnection> connection)
      : connection_(std::move(connection)) {}
  HResult Read(uint8_t* buffer, uint32_t capacity, uint32_t* delivered) override {
    return connection_->read(buffer, capacity, delivered);
  }
  HResult Write(const uint8_t* data, uint32_t count) override {
    return connection_->write(data, count);
  }

 private:
  ~SocketChannel() override { connection_->endChannel(); }
  std::shared_ptr<DeviceConnection> connection_;
};

class SocketProperty final : public RefCounted<IProperty> {
 public:
  explicit SocketProperty(dp::DeviceProperty property) : property_(std::move(property)) {}
  HResult GetName(std::u16string* name) override {
    if (!name) return kEPointer;
    *name = property_.name;
    return kSOk;
  }
  HResult GetValue(Variant* value) override {
    if (!value) return kEPointer;
    *value = property_.value;
    return kSOk;
  }

 private:
  dp::DeviceProperty property_;
};

class SocketPropertyCollection final : public RefCounted<IPropertyCollection> {
 public:
  explicit SocketPropertyCollection(std::vector<dp::DeviceProperty> properties)
      : properties_(std::move(properties)) {}
  HResult GetCount(int32_t* count) override {
    if (!count) return kEPointer;
    *count = static_cast<int32_t>(properties_.size());
    return kSOk;
  }
  HResult GetItem(const Variant& index, IProperty** property) override {
    if (!property) return kEPointer;
    if (index.type != Variant::Type::Int32 || index.int32 < 0 ||
        static_cast<size_t>(index.int32) >= properties_.size()) {
      return kEInvalidArg;
    }
    *property = new SocketProperty(properties_[static_cast<size_t>(index.int32)]);
    return kSOk;
  }

 private:
  std::vector<dp::DeviceProperty> properties_;
};

class SocketDevice final : public RefCounted<IDevice> {
 public:
  SocketDevice(std::shared_ptr<DeviceConnection> connection, int32_t index)
      : connection_(std::move(connection)), index_(index) {}
  HResult GetProperties(IPropertyCollection** properties) override {
    if (!properties) return kEPointer;
    *properties = new SocketPropertyCollection(
        connection_->devices()[static_cast<size_t>(index_)].properties);
    return kSOk;
  }
  HResult OpenChannel(std::u16string_view name, IChannelEvents* sink, IChannel** channel) override {
    if (!channel || !sink) return kEPointer;
    const HResult status = connection_->openChannel(index_, name, sink);
    if (failed(status)) return status;
    *channel = new SocketChannel(connection_);
    return kSOk;
  }

 private:
  std::shared_ptr<DeviceConnection> connection_;
  const int32_t index_;
};

class SocketDeviceCollection final : public RefCounted<IDeviceCollection> {
 public:
  explicit SocketDeviceCollection(std::shared_ptr<DeviceConnection> connection)
      : connection_(std::move(connection)) {}
  HResult GetCount(uint32_t* count) override {
    if (!count) return kEPointer;
    *count = connection_ ? static_cast<uint32_t>(connection_->devices().size()) : 0;
    return kSOk;
  }
  HResult GetItem(int32_t index, IDevice** device) override {
    if (!device) return kEPointer;
    if (!connection_ || index < 0 || static_cast<size_t>(index) >= connection_->devices().size()) {
      return kEInvalidArg;
    }
    *device = new SocketDevice(connection_, index);
    return kSOk;
  }

 private:
  std::shared_ptr<DeviceConnection> connection_;
};

class SocketDeviceManager final : public RefCounted<IDeviceManager> {
 public:
  SocketDeviceManager(std::shared_ptr<const SocketServiceOptions> options, DeviceAddress address)
      : options_(std::move(options)), address_(std::move(address)) {}
  HResult GetDevices(IDeviceCollection** devices) override {
    if (!devices) return kEPointer;
    std::string error;
    UniqueFd fd = connectToDevice(address_, options_->connectWait, error);
    std::shared_ptr<DeviceConnection> connection;
    if (!fd) {
      if (options_->diagnostics) options_->diagnostics("no handheld: " + error);
    } else if (address_.kind == DeviceAddress::Kind::Unix && !peerIsThisUser(fd.get(), error)) {
      // Nothing is sent to it, not even the greeting.
      if (options_->diagnostics) options_->diagnostics(address_.text() + ": " + error);
      if (options_->foreignPeer) options_->foreignPeer(error);
    } else {
      auto made = std::make_shared<DeviceConnection>(std::move(fd), options_);
      if (made->greet()) connection = made;
      MutexLock lock(mutex_);
      last_ = std::move(made);
    }
    *devices = new SocketDeviceCollection(std::move(connection));
    return kSOk;
  }
  HResult GetHandheldReason(std::u16string* reason) override {
    if (!reason) return kEPointer;
    std::shared_ptr<DeviceConnection> last;
    {
      MutexLock lock(mutex_);
      last = last_;
    }
    *reason = last ? shownText(last->handheldReason()) : std::u16string();
    return kSOk;
  }

 private:
  const std::shared_ptr<const SocketServiceOptions> options_;
  const DeviceAddress address_;
  Mutex mutex_;
  // The connection of the last GetDevices, kept for what the handheld said on it (the
  // device objects share it while the channel is opened).
  std::shared_ptr<DeviceConnection> last_ GUARDED_BY(mutex_);
};

}  // namespace

ServiceFactory socketServiceFactory(SocketServiceOptions options) {
  // Shared by every object made from the factory; the reader threads may outlive the
  // factory and the objects that started them.
  auto shared = std::make_shared<const SocketServiceOptions>(std::move(options));
  return [options = std::move(shared)](IDeviceManager** manager) -> HResult {
    if (!manager) return kEPointer;
    std::string error;
    std::optional<DeviceAddress> address = parseDeviceAddress(options->address, error);
    if (!address) {
      if (options->diagnostics) options->diagnostics(error);
      return kEFail;
    }
    *manager = new SocketDeviceManager(options, std::move(*address));
    return kSOk;
  };
}

}  // namespace lexora
