// Where lexora-cli looks for the handheld and lexora-handheld listens when neither is told
// otherwise: both programs must agree on it, so it lives beside the wire they share.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace lexora {

// unix:$XDG_RUNTIME_DIR/lexora-handheld.sock, or unix:/tmp/lexora-UID/handheld.sock when
// XDG_RUNTIME_DIR is unset.
std::string defaultDeviceAddress();

// Where the PC looks for the handheld, in lexora-cli and the dialog alike: `given`
// (--device) when given and not empty, else the [Link] device= setting when set, else
// defaultDeviceAddress(). Not validated here.
std::string chooseDeviceAddress(const std::optional<std::string>& given);

// The folder in /tmp that holds the default socket when XDG_RUNTIME_DIR is unset (where
// anyone could otherwise create it first); nullopt when the runtime folder is used.
std::optional<std::filesystem::path> sharedTmpSocketFolder();

// Makes `folder` (mode 0700) or accepts it when it already is a folder (not a link) owned
// by this user that nobody else may enter or write; false with `error` otherwise.
bool preparePrivateFolder(const std::filesystem::path& folder, std::string& error);

}  // namespace lexora
