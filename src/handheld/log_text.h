// Text from the PC (a dictionary or channel name, a reason) made safe to show: the
// emulator's log goes to a terminal, where raw control bytes would act, not show.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lexora::handheld {

// `text` with control characters (C0, DEL, C1) and bytes that are not UTF-8 written as
// \xNN and backslashes doubled; at most about `limit` bytes of it, cut with "...".
std::string printableText(std::string_view text, size_t limit);

}  // namespace lexora::handheld
