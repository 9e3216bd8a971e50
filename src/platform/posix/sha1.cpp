#include "platform/sha1.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace lexora {

std::optional<std::array<uint8_t, 20>> sha1Digest(const void* data, size_t size) {
  std::array<uint8_t, 20> digest{};
  unsigned int length = 0;
  if (EVP_Digest(data, size, digest.data(), &length, EVP_sha1(), nullptr) != 1 ||
      length != digest.size()) {
    return std::nullopt;
  }
  return digest;
}

void wipeSecret(void* data, size_t size) {
  OPENSSL_cleanse(data, size);
}

}  // namespace lexora
