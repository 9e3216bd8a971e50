// SHA-1 (FIPS 180-1) and the wiping of secrets: the platform's own cryptography, CNG
// (BCrypt) on Windows and OpenSSL's libcrypto elsewhere. posix/sha1.cpp, win32/sha1.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace lexora {

// The 20-byte digest of `size` bytes at `data`; nullopt only when the system's provider
// fails. Any thread.
std::optional<std::array<uint8_t, 20>> sha1Digest(const void* data, size_t size);

// Overwrites `size` bytes at `data` with zeros in a way the compiler cannot drop.
void wipeSecret(void* data, size_t size);

}  // namespace lexora
