// Where a window appears when shown: centred on the screen, or at the position stored for it
// (Wnd1XPos/Wnd1YPos, Wnd2...), pulled back onto the screen: a coordinate before the screen's
// left or top edge is raised to it, one that would push the window past the right or bottom
// edge is lowered until that edge touches the screen's.
//
// Stored positions are the window frame's top-left corner, and windows are placed by their
// frame, so a window reopens exactly where it was whatever the window manager's title bar is.
// UI thread only (the stored values live in SettingsStore).
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

// Remembers w's frame position for `window`, but only when a position is stored already and
// not while the window is still being placed by RestoreWindowPosition.
void RememberWindowPosition(const QWidget& w, int window);

// Centres `w` over `owner` (or on the screen when there is none) and keeps all of it on the
// screen; for windows that have no stored position.
void PlaceOverOwner(QWidget& w, const QWidget* owner);

}  // namespace app
