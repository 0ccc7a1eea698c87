// TRecPreviewForm: the record preview window ("Предпросмотр записи"). Shows one key frame per
// slider position of the record list's current recording with the battery line of that
// moment, marks a range with "[" and "]" and converts it through the conversion worker; Ctrl+O
// on the slider shows the dark-region map of the picture instead.
//
// The seek, decode, picture and map live in preview::PreviewSession; the window holds widgets
// and handlers only. A slider move seeks at once and decodes on the next 200 ms tick; a running
// conversion is polled each second and stopped when the window closes. UI thread only.
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <functional>
#include <memory>

#include "convert/conversion_worker.h"
#include "preview/preview_range.h"
#include "preview/preview_session.h"
#include "records/trecord.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;
class TRecListForm;

namespace app {
class GuiNoticeSink;
}

class TRecPreviewForm : public QDialog {
 public:
  explicit TRecPreviewForm(QWidget* parent = nullptr);
  ~TRecPreviewForm() override;

  // Shows the window modally for the record list's convRecord; returns when it closes.
  int openFor(TRecListForm& list);
  // The same without waiting for it to close (tests, screenshots).
  void showFor(TRecListForm& list);

  // Test seams: the folder choice (empty when cancelled), the conversion launcher and the
  // decoder's name. Unset, the system folder dialog, the real worker and H.264 are used.
  using FolderChooser = std::function<QString(QWidget* parent, const QString& start)>;
  void setFolderChooser(FolderChooser chooser) { folderChooser_ = std::move(chooser); }
  void setConversionLauncher(convert::ConversionLauncher launcher) {
    launcherOverride_ = std::move(launcher);
  }
  void setDecoderName(std::string name) { decoderName_ = std::move(name); }

  bool converting() const { return converting_; }
  const preview::PreviewSession* session() const { return session_.get(); }
  const preview::PreviewRange& range() const { return range_; }
  // The picture area's current contents.
  QImage shownImage() const { return shown_; }
  // The slider position the position handler last handled, for the whole program run.
  static int lastHandledPosition() { return lastHandledPosition_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void done(int result) override;

 private:
  void buildControls();
  void layOut();
  void prepare(TRecListForm& list);
  void FormShow();
  void FormCloseQuery();
  void TrackBar1Change(int position);
  void TrackBar1KeyDown();
  void btnFromClick();
  void btnTillClick();
  void btnConvClick();
  void Timer1Timer();
  void Timer2Timer();

  void seek(int position);
  void showBatteryLine();
  void reportDecoderFailure();
  void showPicture(const preview::Picture& picture);
  void drawRange();
  void setControlsEnabled(bool enabled);
  void stopConversion();
  bool chooseOutputDir();

  QLabel* Image1 = nullptr;
  QLabel* lblGps = nullptr;
  QLabel* lblFix = nullptr;  // the block's GPS fix, beside the battery line
  QSlider* TrackBar1 = nullptr;
  QLabel* img_range = nullptr;
  QPushButton* btnFrom = nullptr;
  QPushButton* btnTill = nullptr;
  QPushButton* btnConv = nullptr;
  QProgressBar* pbConv = nullptr;
  QTimer* Timer1 = nullptr;
  QTimer* Timer2 = nullptr;
  app::GuiNoticeSink* notices_ = nullptr;

  TRecListForm* list_ = nullptr;
  std::unique_ptr<preview::PreviewSession> session_;
  const card::RegionReader* sessionReader_ = nullptr;  // the reader session_ was made for
  records::TRecord record_;
  int64_t blocks_ = 1;
  preview::PreviewRange range_;
  QImage shown_;
  bool converting_ = false;
  std::string outputDir_;
  std::unique_ptr<convert::ConversionWorker> worker_;
  convert::ConversionLauncher launcherOverride_;
  FolderChooser folderChooser_;
  std::string decoderName_;

  static int lastHandledPosition_;
};
