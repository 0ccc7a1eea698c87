// The program's icon, drawn in code so that every window shows it without an image plug-in:
// a memory card with a red recording dot. The installed desktop entry uses the same picture
// as an SVG file (data/korvan.svg). UI thread only.
#pragma once

#include <QIcon>

namespace app {

QIcon AppIcon();

}  // namespace app
