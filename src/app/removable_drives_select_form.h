// TRemovableDrivesSelectForm ("Korvan"): the main window. Lists the removable volumes that
// could hold a recorder card, refreshes the list when devices come and go (one quiet timer
// tick after the last event), opens the card operations window for the chosen line, by itself
// for the only FAT32 card, for a card image picked with Ctrl+M, or for a medium named on the
// command line. Opening a device (not an image) needs raw access to it, directly or through
// the desktop's disk service; without either the user is told what to do. UI thread only.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/drive_poll_state.h"
#include "card/drive_line.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace app {

class DeviceMonitor;
class TCardOpForm;

class TRemovableDrivesSelectForm final : public QWidget {
 public:
  using DriveSource = std::function<std::vector<card::DriveCandidate>()>;

  explicit TRemovableDrivesSelectForm(platform::NoticeSink& notices, QWidget* parent = nullptr);
  ~TRemovableDrivesSelectForm() override;

  // The card operations window that opening a card shows (created after this one).
  void setCardOpForm(TCardOpForm* cardOp);
  // Where the volumes to list come from (the system's removable volumes by default).
  void setDriveSource(DriveSource source) { driveSource_ = std::move(source); }
  // Whether a medium path may be opened raw: true for image files and folders, and for
  // devices the process may open itself or through the desktop's disk service (default).
  void setAdminCheck(std::function<bool(const std::string& path)> check) {
    adminCheck_ = std::move(check);
  }
  // A medium named on the command line: opened at the first timer tick.
  void setStartMedium(const QString& path) { startMedium_ = path; }

  void RefreshDriveList();
  void OpenSelected();
  // Opens a card image folder (the Ctrl+M path after the file dialog).
  void OpenImageFolder(const QString& folder);
  // Opens any medium by path: a card image folder (or its hc00info.hcf), an image file or a
  // device node; returns when the card operations window has closed.
  void OpenMediumPath(const QString& path);
  void Timer1Timer();
  void btnRefreshClick();
  void OpenImageKey();

  DrivePollState& poll() { return poll_; }
  const std::vector<card::DriveListing>& listings() const { return listings_; }
  const QString& selectedDrive() const { return selectedDrive_; }
  bool imageMode() const { return imageMode_; }

  QListWidget* ListBox1 = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnRefresh = nullptr;
  QLabel* lblVer = nullptr;
  QTimer* Timer1 = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Shows the card operations window modally for `path`, polling off meanwhile.
  void openCard(const QString& path, bool image);

  TCardOpForm* cardOp_ = nullptr;
  platform::NoticeSink& notices_;
  DriveSource driveSource_;
  std::function<bool(const std::string& path)> adminCheck_;
  QLabel* emptyHint_ = nullptr;  // shown over the drive list while it has no line
  std::unique_ptr<DeviceMonitor> monitor_;
  DrivePollState poll_;
  std::vector<card::DriveListing> listings_;
  QString selectedDrive_;
  QString startMedium_;
  bool imageMode_ = false;
};

}  // namespace app
