// Which button the Return key presses when the focus is on no push button: the templates
// give Browse, Send and Stop the default-button style, and of those the first in tab order
// that is enabled is the default. Both views apply the answer whenever a button is enabled
// or disabled, so Return does the same on every toolkit.
#pragma once

#include <functional>

namespace lexora {

// The default button's id given which controls are enabled; 0 when none of them is.
int defaultButtonNow(const std::function<bool(int id)>& enabled);

}  // namespace lexora
