// A guided run for documentation pictures: shows the main window, opens a medium, the
// service-sector list, the record list (waiting for its scan) and the block list of its first
// recording, a question box, the output-folder dialog, the preview of that recording and its
// dark-region map, saving a PNG of each into a folder, then ends the program.
// Started by `korvan --screenshot DIR MEDIUM [VOLUME...]` after the windows exist; the
// optional volume images stand in for removable drives in the main window's list (nothing is
// opened by itself). UI thread only.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;
class TRecListForm;

namespace app {

class ScreenshotTour final : public QObject {
 public:
  ScreenshotTour(QString folder, QString medium, QStringList drives, QObject* parent = nullptr);
  void start();
  // Whether every picture was saved.
  bool ok() const { return ok_; }

 private:
  void save(QWidget* w, const QString& name);
  // Runs `step` after `ms` milliseconds (steps may open modal windows, so the next one is
  // always scheduled before the blocking call).
  void later(int ms, std::function<void()> step);
  void pollScan(int remainingTicks);
  // Saves a Yes/No question and the output-folder dialog as they appear over `owner`.
  void saveDialogs(QWidget* owner);
  void previewTour(TRecListForm& list);

  QString folder_;
  QString medium_;
  QStringList drives_;
  bool ok_ = true;
};

}  // namespace app
