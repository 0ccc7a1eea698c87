// The program's persistent settings: window positions and the last output folder, kept
// under the user's "Velta/Korvan" settings (the registry key on Windows, ~/.config on Linux).
// One getter/setter per value; every access opens the store afresh. UI thread only.
#pragma once

#include <QPoint>
#include <QString>
#include <optional>

namespace app {

class SettingsStore {
 public:
  // Window n (1 main, 2 card operations, 3 record list): WndnXPos / WndnYPos.
  static std::optional<QPoint> windowPosition(int window);
  static void setWindowPosition(int window, const QPoint& pos);

  static QString outputDir();
  static void setOutputDir(const QString& dir);

  // "SaveTelemetry": the record list writes the GPS track and subtitles with each file.
  static bool saveTelemetry();
  static void setSaveTelemetry(bool on);
};

}  // namespace app
