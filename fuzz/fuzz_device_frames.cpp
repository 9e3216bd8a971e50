// The frames a peer sends on the socket wire (what the emulator and the socket service
// read), fed to the frame decoder in pieces whose sizes the input's first bytes choose, and
// the device lists in them. Pieces give what one whole feed gives, a refused header is
// refused at the same byte, what is taken is the stream again, and a device list that
// decodes encodes back to itself.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/text_codec.h"
#include "link/socket/device_protocol.h"
#include "link/socket/frame_decoder.h"

using namespace lexora;
using namespace lexora::device_protocol;

namespace {

struct Decoded {
  std::vector<Frame> frames;
  size_t taken = 0;  // bytes taken before the end or the refusal
  bool refused = false;
  bool midFrame = false;
};

// Feeds `stream` in pieces of the sizes in `sizes`, in turn (a 0 offers nothing).
Decoded decode(Side peer, std::span<const uint8_t> stream, std::span<const uint8_t> sizes) {
  FrameDecoder decoder(peer);
  Decoded out;
  size_t piece = 0, idle = 0;
  while (out.taken < stream.size() && idle <= sizes.size()) {
    const size_t offered =
        std::min<size_t>(stream.size() - out.taken, sizes[piece++ % sizes.size()]);
    idle = offered == 0 ? idle + 1 : 0;
    for (std::span<const uint8_t> data = stream.subspan(out.taken, offered);;) {
      size_t used = 0;
      Frame frame;
      FrameError error;
      const auto step = decoder.feed(data, used, frame, error);
      if (used > data.size()) __builtin_trap();
      out.taken += used;
      data = data.subspan(used);
      if (step == FrameDecoder::Step::Malformed) {
        if (error.kind != FrameError::Kind::Malformed || error.detail.empty() || used > 5) {
          __builtin_trap();
        }
        // Refused for good: the next feed takes nothing either.
        if (decoder.feed(stream.subspan(out.taken), used, frame, error) !=
                FrameDecoder::Step::Malformed ||
            used != 0) {
          __builtin_trap();
        }
        out.refused = true;
        return out;
      }
      if (step == FrameDecoder::Step::More) {
        // Short of a frame's end, everything offered is taken, and more is wanted.
        if (!data.empty() || decoder.wanted() == 0) __builtin_trap();
        break;
      }
      const auto limit = maxPayload(frame.type, peer);
      if (!limit || frame.payload.size() > *limit || decoder.midFrame()) __builtin_trap();
      out.frames.push_back(std::move(frame));
      if (data.empty()) break;
    }
  }
  out.midFrame = decoder.midFrame();
  return out;
}

// A text whose UTF-8 form passes its 16-bit length comes back cut on a character boundary,
// any other text whole. (Invalid UTF-8 decodes to U+FFFD, which is longer.)
bool cameBack(const std::u16string& sent, const std::u16string& got) {
  return utf16ToUtf8(sent).size() > 0xFFFF ? got.size() < sent.size() && sent.starts_with(got)
                                           : got == sent;
}

void checkDevices(std::span<const uint8_t> payload) {
  std::string error;
  const auto devices = decodeDevices(payload, error);
  if (!devices) {
    if (error.empty()) __builtin_trap();  // every refusal says why
    return;
  }
  const auto again = decodeDevices(encodeDevices(*devices), error);
  if (!again || again->size() != devices->size()) __builtin_trap();
  for (size_t d = 0; d < devices->size(); ++d) {
    const auto &sent = (*devices)[d].properties, &got = (*again)[d].properties;
    if (sent.size() != got.size()) __builtin_trap();
    for (size_t p = 0; p < sent.size(); ++p) {
      const Variant &a = sent[p].value, &b = got[p].value;
      if (!cameBack(sent[p].name, got[p].name) || a.type != b.type) __builtin_trap();
      if (a.type == Variant::Type::Int32 && a.int32 != b.int32) __builtin_trap();
      if (a.type == Variant::Type::String && !cameBack(a.string, b.string)) __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const Side peer = data[0] & 1 ? Side::Device : Side::Pc;
  const size_t pattern = 1 + (data[0] >> 1) % 8;  // how many piece sizes follow
  if (size < 1 + pattern) return 0;
  const std::span<const uint8_t> sizes(data + 1, pattern);
  const std::span<const uint8_t> stream(data + 1 + pattern, size - 1 - pattern);

  const uint8_t all[] = {255};
  const Decoded whole = decode(peer, stream, std::span(all).first(1));
  const Decoded pieces = decode(peer, stream, sizes);
  if (pieces.taken < stream.size() && !pieces.refused) return 0;  // the sizes were all 0
  if (pieces.taken != whole.taken || pieces.refused != whole.refused ||
      pieces.midFrame != whole.midFrame || pieces.frames.size() != whole.frames.size()) {
    __builtin_trap();
  }
  std::vector<uint8_t> again;
  for (size_t i = 0; i < whole.frames.size(); ++i) {
    const Frame &a = whole.frames[i], &b = pieces.frames[i];
    if (a.type != b.type || a.payload != b.payload) __builtin_trap();
    const auto length = static_cast<uint32_t>(a.payload.size());
    again.insert(again.end(),
                 {a.type, static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
                  static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    again.insert(again.end(), a.payload.begin(), a.payload.end());
    checkDevices(a.payload);
  }
  // What was taken is whole frames plus, at a refusal or the end, part of one header or frame.
  if (again.size() > whole.taken || !std::equal(again.begin(), again.end(), stream.begin())) {
    __builtin_trap();
  }
  if (!whole.refused && !whole.midFrame && again.size() != stream.size()) __builtin_trap();
  return 0;
}
