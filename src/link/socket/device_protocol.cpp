#include "link/socket/device_protocol.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "platform/text_codec.h"

namespace lexora::device_protocol {
namespace {

constexpr uint32_t kMaxText = 4096;

std::string hexByte(uint8_t value) {
  static const char digits[] = "0123456789ABCDEF";
  return {'0', 'x', digits[value >> 4], digits[value & 15]};
}

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
  bool take(size_t size, std::span<const uint8_t>& out) {
    if (data_.size() - offset_ < size) return false;
    out = data_.subspan(offset_, size);
    offset_ += size;
    return true;
  }
  bool byte(uint8_t& out) {
    std::span<const uint8_t> b;
    if (!take(1, b)) return false;
    out = b[0];
    return true;
  }
  bool u16(uint16_t& out) {
    std::span<const uint8_t> b;
    if (!take(2, b)) return false;
    out = static_cast<uint16_t>(b[0] << 8 | b[1]);
    return true;
  }
  bool text(std::u16string& out) {
    uint16_t size = 0;
    std::span<const uint8_t> b;
    if (!u16(size) || !take(size, b)) return false;
    out = utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
    return true;
  }
  bool atEnd() const { return offset_ == data_.size(); }

 private:
  std::span<const uint8_t> data_;
  size_t offset_ = 0;
};

void appendText(std::vector<uint8_t>& out, std::u16string_view text) {
  std::string utf8 = utf16ToUtf8(text);
  if (utf8.size() > 0xFFFF) utf8.resize(0xFFFF);
  out.push_back(static_cast<uint8_t>(utf8.size() >> 8));
  out.push_back(static_cast<uint8_t>(utf8.size()));
  out.insert(out.end(), utf8.begin(), utf8.end());
}

}  // namespace

std::optional<uint32_t> maxPayload(uint8_t type, Side from) {
  if (type == kClose) return 0;
  if (type == kError) return kMaxText;
  if (from == Side::Pc) {
    switch (type) {
      case kHello:
        return 5;
      case kOpenChannel:
        return 1 + kMaxText;
      case kPasswordAnswer:
        return 21;
      case kWrite:
        return 0xFFFF;
      default:
        return std::nullopt;
    }
  }
  switch (type) {
    case kDevices:
      return 0xFFFF;
    case kPasswordChallenge:
      return 4;
    case kChannelOpened:
    case kQuery:
      return 0;
    case kChannelRefused:
      return kMaxText;
    case kWriteResult:
      return 1;
    case kMessage:
      return 0xFFFF;
    default:
      return std::nullopt;
  }
}

FrameSocket::FrameSocket(UniqueFd fd, Side peer) : fd_(std::move(fd)), peer_(peer) {
  int on = 1;
  // Fails harmlessly on a Unix socket.
  setsockopt(fd_.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool FrameSocket::readExact(uint8_t* data, size_t size, bool& cleanEnd, std::string& error,
                            std::optional<std::chrono::milliseconds> timeout) {
  size_t done = 0;
  cleanEnd = false;
  while (done < size) {
    if (timeout) {
      pollfd p{fd_.get(), POLLIN, 0};
      const int ready = poll(&p, 1, static_cast<int>(timeout->count()));
      if (ready == 0) {
        error = "no answer in time";
        return false;
      }
      if (ready < 0 && errno != EINTR) {
        error = std::string("poll: ") + std::strerror(errno);
        return false;
      }
      if (ready < 0) continue;
    }
    const ssize_t n = recv(fd_.get(), data + done, size - done, 0);
    if (n == 0) {
      cleanEnd = done == 0;
      error = done == 0 ? "connection closed" : "connection closed inside a frame";
      return false;
    }
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::string("read: ") + std::strerror(errno);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool FrameSocket::read(Frame& frame, std::string& error,
                       std::optional<std::chrono::milliseconds> timeout) {
  uint8_t header[5];
  bool cleanEnd = false;
  if (!readExact(header, sizeof header, cleanEnd, error, timeout)) return false;
  const uint32_t length = readBigEndian32(header + 1);
  const std::optional<uint32_t> limit = maxPayload(header[0], peer_);
  if (!limit) {
    error = "malformed frame: unknown type " + hexByte(header[0]);
    return false;
  }
  if (length > *limit) {
    error = "malformed frame: type " + hexByte(header[0]) + " announces " + std::to_string(length) +
            " bytes, at most " + std::to_string(*limit) + " allowed";
    return false;
  }
  frame.type = header[0];
  frame.payload.resize(length);
  if (length > 0 && !readExact(frame.payload.data(), length, cleanEnd, error, timeout)) {
    if (cleanEnd) error = "connection closed inside a frame";
    return false;
  }
  return true;
}

bool FrameSocket::write(uint8_t type, std::span<const uint8_t> payload, std::string& error) {
  if (payload.size() > 0xFFFFFFFFu) {
    error = "frame too long";
    return false;
  }
  uint8_t header[5] = {type};
  const auto length = static_cast<uint32_t>(payload.size());
  header[1] = static_cast<uint8_t>(length >> 24);
  header[2] = static_cast<uint8_t>(length >> 16);
  header[3] = static_cast<uint8_t>(length >> 8);
  header[4] = static_cast<uint8_t>(length);
  std::lock_guard lock(writeMutex_);
  iovec parts[2] = {{header, sizeof header},
                    {const_cast<uint8_t*>(payload.data()), payload.size()}};
  msghdr message{};
  message.msg_iov = parts;
  message.msg_iovlen = payload.empty() ? 1 : 2;
  size_t left = sizeof header + payload.size();
  while (left > 0) {
    const ssize_t n = sendmsg(fd_.get(), &message, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::string("write: ") + std::strerror(errno);
      return false;
    }
    left -= static_cast<size_t>(n);
    // Skip what was sent and go on with the rest.
    size_t sent = static_cast<size_t>(n);
    while (sent > 0 && message.msg_iovlen > 0) {
      iovec& first = message.msg_iov[0];
      const size_t step = std::min(sent, first.iov_len);
      first.iov_base = static_cast<uint8_t*>(first.iov_base) + step;
      first.iov_len -= step;
      sent -= step;
      if (first.iov_len == 0) {
        ++message.msg_iov;
        --message.msg_iovlen;
      }
    }
  }
  return true;
}

void FrameSocket::shutdown() {
  ::shutdown(fd_.get(), SHUT_RDWR);
}

std::vector<uint8_t> encodeDevices(const std::vector<DeviceDescription>& devices) {
  std::vector<uint8_t> out;
  out.push_back(static_cast<uint8_t>(std::min<size_t>(devices.size(), 255)));
  for (size_t d = 0; d < devices.size() && d < 255; ++d) {
    const auto& properties = devices[d].properties;
    out.push_back(static_cast<uint8_t>(std::min<size_t>(properties.size(), 255)));
    for (size_t p = 0; p < properties.size() && p < 255; ++p) {
      appendText(out, properties[p].name);
      const Variant& value = properties[p].value;
      out.push_back(static_cast<uint8_t>(value.type));
      if (value.type == Variant::Type::Int32) {
        appendBigEndian32(out, static_cast<uint32_t>(value.int32));
      } else if (value.type == Variant::Type::String) {
        appendText(out, value.string);
      }
    }
  }
  return out;
}

std::optional<std::vector<DeviceDescription>> decodeDevices(std::span<const uint8_t> payload,
                                                            std::string& error) {
  ByteReader reader(payload);
  uint8_t count = 0;
  std::vector<DeviceDescription> devices;
  auto malformed = [&] {
    error = "malformed device list";
    return std::nullopt;
  };
  if (!reader.byte(count)) return malformed();
  devices.resize(count);
  for (auto& device : devices) {
    uint8_t propertyCount = 0;
    if (!reader.byte(propertyCount)) return malformed();
    device.properties.resize(propertyCount);
    for (auto& property : device.properties) {
      uint8_t kind = 0;
      if (!reader.text(property.name) || !reader.byte(kind)) return malformed();
      if (kind == static_cast<uint8_t>(Variant::Type::Int32)) {
        std::span<const uint8_t> b;
        if (!reader.take(4, b)) return malformed();
        property.value = Variant::fromInt32(static_cast<int32_t>(readBigEndian32(b.data())));
      } else if (kind == static_cast<uint8_t>(Variant::Type::String)) {
        std::u16string text;
        if (!reader.text(text)) return malformed();
        property.value = Variant::fromString(std::move(text));
      } else if (kind != static_cast<uint8_t>(Variant::Type::Empty)) {
        return malformed();
      }
    }
  }
  if (!reader.atEnd()) return malformed();
  return devices;
}

void appendBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value >> 24));
  out.push_back(static_cast<uint8_t>(value >> 16));
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

uint32_t readBigEndian32(const uint8_t* data) {
  return static_cast<uint32_t>(data[0]) << 24 | static_cast<uint32_t>(data[1]) << 16 |
         static_cast<uint32_t>(data[2]) << 8 | data[3];
}

std::string payloadText(std::span<const uint8_t> payload) {
  return std::string(reinterpret_cast<const char*>(payload.data()), payload.size());
}

}  // namespace lexora::device_protocol
