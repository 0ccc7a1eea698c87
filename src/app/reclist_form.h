// TRecListForm: the record list window ("Список записей"). Lists the recordings of the open
// card while the scan worker finds them, keeps their check marks, runs the conversion queue
// one recording at a time, erases the newest recording and offers the hidden diagnostics.
//
// The window holds widgets and handlers only: check marks, queue, erase arithmetic and the
// diagnostics texts live in the core (records/). openFor() shows it modally and returns when
// it closes; closing stops both workers. UI thread only.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "records/check_selection.h"
#include "convert/conversion_queue.h"
#include "convert/conversion_worker.h"
#include "records/reclist_medium.h"
#include "records/reclistloadth.h"
#include "records/record_list.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QTimer;

namespace app {
class GuiNoticeSink;
class TBlockListForm;
}
namespace card {
class CardMedium;
}

namespace records {
class RecListLoadTh;
}

class TRecListForm : public QDialog {
 public:
  explicit TRecListForm(QWidget* parent = nullptr);
  ~TRecListForm() override;

  // Shows the window modally for `medium`; returns when it closes. `thorough` lists the
  // recordings with the thorough scan (every block read) from the start, as wanted after a
  // recovery; the context menu item "Полный поиск записей" switches to it later.
  int openFor(card::CardMedium& medium, bool thorough = false);
  // The same over an already prepared medium view (tests, other front ends).
  int openWith(const records::RecListMedium& medium, bool thorough = false);
  // Shows the window without waiting for it to close (tests, screenshots).
  void showFor(const records::RecListMedium& medium, bool thorough = false);

  // Test seams: the folder choice (returns the chosen folder, empty when cancelled) and the
  // conversion launcher. Unset, the system folder dialog and the real worker are used.
  using FolderChooser = std::function<QString(QWidget* parent, const QString& start)>;
  void setFolderChooser(FolderChooser chooser) { folderChooser_ = std::move(chooser); }
  void setConversionLauncher(records::ConversionLauncher launcher) {
    launcherOverride_ = std::move(launcher);
  }
  // Opens the preview for convRecord(); set by whoever owns the preview window.
  void setPreviewOpener(std::function<void(TRecListForm&)> opener) {
    previewOpener_ = std::move(opener);
  }

  // What the preview and the block list read.
  const records::RecordList& records() const { return records_; }
  int currentLine() const { return selection_.current(); }
  const records::RecListMedium& medium() const { return medium_; }
  records::ConversionRequest& conversionRequest() { return request_; }
  bool scanRunning() const { return scanWorker_ != nullptr; }
  bool converting() const { return queue_.converting(); }
  bool thoroughScan() const { return scanMode_ == records::ScanMode::thorough; }

  // Saves the window's picture to `path` (the screenshot script sets KORVAN_RECLIST_SNAPSHOT
  // to get one as soon as the scan has ended).
  bool saveSnapshot(const QString& path);

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void done(int result) override;

 private:
  void buildControls();
  void prepare(const records::RecListMedium& medium, bool thorough);
  void buildFullScanAction();
  void FullScanClick();
  void FormShow();
  void FormCloseQuery();
  void FormResize();
  void resetList();
  void startScan();
  void appendLine(const QString& line);
  void syncChecks();
  void setControlsEnabled();

  void Timer2Timer();
  void Timer1Timer();
  void btnSelAllClick();
  void btnSelInvClick();
  void btnStartConvClick();
  void btnEraseLastRecClick();
  void btnStartConvKeyDown();
  bool CheckListBox1KeyDown(QKeyEvent* key);  // true when the key was a command
  void CheckListBox1MouseDown(QMouseEvent* mouse);
  void CheckListBox1DblClick();
  void CheckListBox1ItemChanged(QListWidgetItem* item);
  void btnSelAllKeyDown();

  void startQueue();
  int32_t blocksOf(int line) const;
  void abortQueue();
  void finishQueue();
  bool chooseOutputDir();
  void stopConversionWorker();
  void showFullDump();
  void showShortDump();
  void writeBatteryLog();

  // Message boxes of this window, in one place.
  void inform(const QString& text);
  void error(const QString& text);
  void plain(const QString& text);
  bool ask(bool warning, const QString& text);

  QListWidget* CheckListBox1 = nullptr;
  QPushButton* btnSelAll = nullptr;
  QPushButton* btnSelInv = nullptr;
  QPushButton* btnEraseLastRec = nullptr;
  QPushButton* btnStartConv = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QProgressBar* ProgressBar2 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QTimer* Timer1 = nullptr;
  QTimer* Timer2 = nullptr;
  QTimer* positionTimer_ = nullptr;
  app::TBlockListForm* blockList_ = nullptr;  // made on first use, owned by this window
  app::GuiNoticeSink* notices_ = nullptr;     // the conversion's notices, owned by this window

  records::RecListMedium medium_;
  records::RecordList records_;
  records::CheckSelection selection_;
  records::ConversionQueue queue_;
  records::ConversionRequest request_;
  std::string outputDir_;
  std::unique_ptr<records::RecListLoadTh> scanWorker_;
  std::unique_ptr<records::ConversionWorker> convWorker_;
  records::ConversionLauncher launcher_;
  records::ConversionLauncher launcherOverride_;
  FolderChooser folderChooser_;
  std::function<void(TRecListForm&)> previewOpener_;
  uint64_t scanGeneration_ = 0;  // drops lines a stopped scan posted after its stop
  bool syncing_ = false;          // check states are being set by the program
  bool scanCompleted_ = false;    // the last scan reached the ring end without failing
  bool shownOnce_ = false;
  records::ScanMode scanMode_ = records::ScanMode::probing;
};
