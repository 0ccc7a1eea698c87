// The windows' common font: the system family at a 10-pixel character height, the height the
// fixed layouts are measured for. UI thread only.
#pragma once

#include <QFont>
#include <QWidget>

namespace app {

inline void ApplyFormFont(QWidget& w) {
  QFont f = w.font();
  f.setPixelSize(10);
  w.setFont(f);
}

}  // namespace app
