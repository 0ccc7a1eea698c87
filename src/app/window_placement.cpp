#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "app/settings_store.h"

namespace app {

namespace {

int Clamp(int v, int extent, int screenExtent) {
  if (v < 0) v = 0;
  if (v + extent > screenExtent) v = screenExtent - extent;
  return v;
}

QRect ScreenOf(const QWidget& w) {
  const QScreen* screen = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
  return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

QPoint PlaceWindow(std::optional<QPoint> stored, QSize window, const QRect& screen) {
  if (!stored)
    return QPoint(screen.x() + (screen.width() - window.width()) / 2,
                  screen.y() + (screen.height() - window.height()) / 2);
  return QPoint(Clamp(stored->x(), window.width(), screen.width()),
                Clamp(stored->y(), window.height(), screen.height()));
}

void RestoreWindowPosition(QWidget& w, int window) {
  const std::optional<QPoint> stored = SettingsStore::windowPosition(window);
  const QPoint pos = PlaceWindow(stored, w.frameGeometry().size(), ScreenOf(w));
  if (!stored) SettingsStore::setWindowPosition(window, pos);
  w.move(pos);
}

void RememberWindowPosition(const QWidget& w, int window) {
  if (SettingsStore::windowPosition(window)) SettingsStore::setWindowPosition(window, w.pos());
}

}  // namespace app
