// Where a window appears when shown: centred on the screen, or at the position stored for it
// (Wnd1XPos/Wnd1YPos, Wnd2...), pulled back onto the screen: a negative coordinate becomes 0,
// one that would push the window past the right or bottom edge is lowered until that edge
// touches the screen's. UI thread only (the stored values live in SettingsStore).
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

class QWidget;

namespace app {

// The pure rule: `stored` (when present) clamped into `screen`, else centred in it.
QPoint PlaceWindow(std::optional<QPoint> stored, QSize window, const QRect& screen);

// Places `w` by the rule above for settings window number `window`; when nothing is stored
// yet, the centred position is written so that later moves are remembered.
void RestoreWindowPosition(QWidget& w, int window);

// Remembers w's position for `window`, but only when a position is stored already.
void RememberWindowPosition(const QWidget& w, int window);

}  // namespace app
