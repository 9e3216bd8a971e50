// Why the channel to the handheld did not open, in words: the open-failure box of the job,
// and the reasons the link knows for it, shown by the desktop dialog and lexora-cli.
#pragma once

#include <string>
#include <string_view>

#include "link/usb_link.h"
#include "platform/ui_language.h"

namespace lexora {

// The open-failure box, with `reasonLine` (when not empty) as its second line.
std::u16string openFailureMessage(std::u16string_view reasonLine);

// The reason as a sentence of its own.
const BilingualText& openFailureReason(OpenFailure failure);
// The reason as a lead-in to the address that was tried, which follows it directly.
const BilingualText& openFailureReasonAt(OpenFailure failure);

}  // namespace lexora
