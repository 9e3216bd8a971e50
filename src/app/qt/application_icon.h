// The program's icon (icon 128 of the templates): the window icon of every dialog and the
// picture of the About box.
#pragma once

#include <QIcon>

namespace lexora {

// The sizes built into the program, else the icon theme's "lexora"; may be null when
// neither is there (a build without the drawings).
QIcon applicationIcon();

}  // namespace lexora
