// Status codes of the connectivity service, shaped like COM's HRESULT: negative means
// failure. Only the few codes the link relies on are named.
#pragma once

#include <cstdint>

namespace lexora {

using HResult = int32_t;

inline constexpr HResult kSOk = 0;
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005u);
inline constexpr HResult kENoInterface = static_cast<HResult>(0x80004002u);
inline constexpr HResult kEPointer = static_cast<HResult>(0x80004003u);
inline constexpr HResult kEInvalidArg = static_cast<HResult>(0x80070057u);
// The service's class is not registered on this computer: its software is not installed.
inline constexpr HResult kClassNotRegistered = static_cast<HResult>(0x80040154u);
// REGDB_E_IIDNOTREG: an interface with no proxy/stub registered for this program.
inline constexpr HResult kInterfaceNotRegistered = static_cast<HResult>(0x80040155u);

inline constexpr bool failed(HResult status) {
  return status < 0;
}

}  // namespace lexora
