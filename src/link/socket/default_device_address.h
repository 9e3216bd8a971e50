// Where lexora-cli looks for the handheld and lexora-handheld listens when neither is told
// otherwise: both programs must agree on it, so it lives beside the wire they share.
#pragma once

#include <string>

namespace lexora {

// unix:$XDG_RUNTIME_DIR/lexora-handheld.sock, or unix:/tmp/lexora-handheld-UID.sock when
// XDG_RUNTIME_DIR is unset.
std::string defaultDeviceAddress();

}  // namespace lexora
