// SendPackedDictionary: one packed dictionary's conversation with the handheld — the name,
// a key and a record message per block, the end flag — each acknowledged with type 100.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/user_interface.h"
#include "link/usb_link.h"
#include "pack/packed_dictionary.h"
#include "platform/event.h"

namespace lexora {

// What became of one dictionary, for callers that count or report (optional).
struct SendReport {
  bool everyMessageAcknowledged = false;  // name, every block and the end flag got 100
  bool stopped = false;                   // the stop request ended the conversation
  bool endFlagAcknowledged = false;       // the handheld took the dictionary as ended
  size_t blocksAcknowledged = 0;          // blocks the handheld acknowledged, from the first
};

// REQUIRES: `link` opened (Open returned 0); `stopEvent` auto-reset. Runs on the thread
// that owns the link. Writes the sending phase's status texts (and progress) to `ui` and
// shows its own failure messages there.
// Returns true when the end flag was acknowledged and no stop was seen: go on with the next
// file. False when the job must end: the name or end flag failed, or a stop was seen.
// A failed block still ends the conversation with the end flag. A dictionary whose name
// or a buffer does not fit a message's 16-bit length is refused before anything is sent
// (message shown, true returned: the channel is untouched). Neither closes the link.
bool SendPackedDictionary(USBLink& link, const PackedDictionary& dictionary, Event& stopEvent,
                          UserInterface& ui, SendReport* report = nullptr);

// The status line while the blocks of dictionary `name` are sent, `percent` of them done.
std::u16string sendingContentStatus(std::u16string_view name, int percent);

}  // namespace lexora
