// What the two halves of FrameSocket share: the portable frame handling in
// frame_socket.cpp and each system's socket calls (frame_socket_io.cpp, winsock/).
#pragma once

#include <cstddef>
#include <string>

#include "link/socket/frame_encoder.h"
#include "link/socket/frame_socket.h"

namespace lexora::device_protocol::frame_socket_detail {

constexpr size_t kHeaderSize = kFrameHeaderSize;
// The largest frame any type allows, so that such a frame can come in one receive.
constexpr size_t kReadBufferSize = kHeaderSize + 0xFFFF;

inline bool failWith(FrameError& error, FrameError::Kind kind, std::string detail) {
  error = {kind, std::move(detail)};
  return false;
}

}  // namespace lexora::device_protocol::frame_socket_detail
