// SHA-1 through CNG, which every Windows since Vista carries: no library of our own.
#include "platform/sha1.h"

#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <limits>

namespace lexora {
namespace {

// The algorithm provider is opened once and shared: CNG allows one handle to hash on many
// threads at once, each with its own hash object.
BCRYPT_ALG_HANDLE sha1Provider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA1_ALGORITHM, nullptr, 0)))
      return BCRYPT_ALG_HANDLE{nullptr};
    return handle;
  }();
  return provider;
}

}  // namespace

std::optional<std::array<uint8_t, 20>> sha1Digest(const void* data, size_t size) {
  const BCRYPT_ALG_HANDLE provider = sha1Provider();
  if (!provider || size > std::numeric_limits<ULONG>::max()) return std::nullopt;
  BCRYPT_HASH_HANDLE hash = nullptr;
  // With no object buffer given, CNG (Windows 7 and later) allocates the hash's state.
  if (!BCRYPT_SUCCESS(BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0)))
    return std::nullopt;
  std::array<uint8_t, 20> digest{};
  const bool ok =
      BCRYPT_SUCCESS(BCryptHashData(hash, static_cast<PUCHAR>(const_cast<void*>(data)),
                                    static_cast<ULONG>(size), 0)) &&
      BCRYPT_SUCCESS(BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
  BCryptDestroyHash(hash);
  if (!ok) return std::nullopt;
  return digest;
}

void wipeSecret(void* data, size_t size) {
  SecureZeroMemory(data, size);
}

}  // namespace lexora
