#include "app/settings_store.h"

#include <QSettings>

namespace app {

namespace {

QSettings Store() { return QSettings(QStringLiteral("Velta"), QStringLiteral("Korvan")); }

}  // namespace

std::optional<QPoint> SettingsStore::windowPosition(int window) {
  QSettings s = Store();
  const QString x = QStringLiteral("Wnd%1XPos").arg(window);
  const QString y = QStringLiteral("Wnd%1YPos").arg(window);
  if (!s.contains(x) || !s.contains(y)) return std::nullopt;
  return QPoint(s.value(x).toInt(), s.value(y).toInt());
}

void SettingsStore::setWindowPosition(int window, const QPoint& pos) {
  QSettings s = Store();
  s.setValue(QStringLiteral("Wnd%1XPos").arg(window), pos.x());
  s.setValue(QStringLiteral("Wnd%1YPos").arg(window), pos.y());
}

QString SettingsStore::outputDir() { return Store().value(QStringLiteral("OutputDir")).toString(); }

void SettingsStore::setOutputDir(const QString& dir) {
  QSettings s = Store();
  s.setValue(QStringLiteral("OutputDir"), dir);
}

bool SettingsStore::saveTelemetry() {
  return Store().value(QStringLiteral("SaveTelemetry"), false).toBool();
}

void SettingsStore::setSaveTelemetry(bool on) {
  QSettings s = Store();
  s.setValue(QStringLiteral("SaveTelemetry"), on);
}

}  // namespace app
