#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include "app/settings_store.h"

namespace app {

namespace {

// Set on a window from its placement until the window manager has framed it: the moves of
// that time are ours, not the user's, and are not stored.
constexpr char kPlacing[] = "korvanPlacing";
// Time the window manager gets to frame a newly shown window before its frame is checked.
constexpr int kFrameSettleMs = 200;

int Clamp(int v, int extent, int screenStart, int screenExtent) {
  if (v + extent > screenStart + screenExtent) v = screenStart + screenExtent - extent;
  if (v < screenStart) v = screenStart;
  return v;
}

// The usable area (without panels) of the screen holding `point`, or of w's own screen.
QRect ScreenArea(const QWidget& w, std::optional<QPoint> point) {
  const QScreen* screen = point ? QGuiApplication::screenAt(*point) : nullptr;
  if (!screen) screen = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QSize FrameSize(const QWidget& w) {
  const QSize frame = w.frameGeometry().size();
  return frame.isValid() && !frame.isEmpty() ? frame : w.size();
}

// Puts w's frame corner at `target` by moving its client area, which every window system
// places exactly (a frame position is only known once the window manager has framed it).
void MoveFrameTo(QWidget& w, const QPoint& target) {
  const QPoint offset = target - w.frameGeometry().topLeft();
  if (!offset.isNull()) w.setGeometry(w.geometry().translated(offset));
}

}  // namespace

QPoint PlaceWindow(std::optional<QPoint> stored, QSize window, const QRect& screen) {
  if (!stored)
    return QPoint(screen.x() + (screen.width() - window.width()) / 2,
                  screen.y() + (screen.height() - window.height()) / 2);
  return QPoint(Clamp(stored->x(), window.width(), screen.x(), screen.width()),
                Clamp(stored->y(), window.height(), screen.y(), screen.height()));
}

void RestoreWindowPosition(QWidget& w, int window) {
  const std::optional<QPoint> stored = SettingsStore::windowPosition(window);
  const QPoint pos = PlaceWindow(stored, FrameSize(w), ScreenArea(w, stored));
  if (!stored) SettingsStore::setWindowPosition(window, pos);
  w.setProperty(kPlacing, true);
  w.move(pos);
  // Once framed, correct what the window manager made of the move (some place the client
  // area there, which would shift the window by a title bar on every start); the true frame
  // size then also decides whether the window still fits on the screen.
  QTimer::singleShot(kFrameSettleMs, &w, [&w, pos, stored] {
    MoveFrameTo(w, PlaceWindow(pos, FrameSize(w), ScreenArea(w, stored)));
    w.setProperty(kPlacing, false);
  });
}

void RememberWindowPosition(const QWidget& w, int window) {
  if (w.property(kPlacing).toBool()) return;
  if (SettingsStore::windowPosition(window))
    SettingsStore::setWindowPosition(window, w.frameGeometry().topLeft());
}

void PlaceOverOwner(QWidget& w, const QWidget* owner) {
  QSize size = FrameSize(w);
  // A window not shown yet has no frame: count the owner's frame instead.
  if (owner && size == w.size()) size += owner->frameGeometry().size() - owner->size();
  QPoint centre = owner ? owner->frameGeometry().center() : QPoint();
  const QRect screen =
      ScreenArea(owner ? *owner : w, owner ? std::optional(centre) : std::nullopt);
  if (!owner) centre = screen.center();
  const QPoint corner(centre.x() - size.width() / 2, centre.y() - size.height() / 2);
  w.move(PlaceWindow(corner, size, screen));
}

}  // namespace app
