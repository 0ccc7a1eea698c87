#include "app/rec_preview_form.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QUrl>
#include <cstring>

#include "app/form_font.h"
#include "app/gui_notice_sink.h"
#include "app/message_boxes.h"
#include "app/reclist_form.h"
#include "app/settings_store.h"
#include "card/servsectclass.h"
#include "preview/dark_region_map.h"
#include "preview/range_name.h"
#include "records/output_folder.h"
#include "records/record_line.h"

namespace {

constexpr int kImageWidth = preview::kPictureWidth;
constexpr int kImageHeight = preview::kPictureHeight;

QImage ToImage(const preview::Picture& p) {
  QImage image(p.width, p.height, QImage::Format_RGB32);
  for (int line = 0; line < p.height; ++line) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(line));
    for (int column = 0; column < p.width; ++column) row[column] = 0xFF000000u | p.at(column, line);
  }
  return image;
}

}  // namespace

int TRecPreviewForm::lastHandledPosition_ = -1;

TRecPreviewForm::TRecPreviewForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Предпросмотр записи"));
  app::ApplyFormFont(*this);
  notices_ = new app::GuiNoticeSink(this);
  buildControls();
  layOut();
}

TRecPreviewForm::~TRecPreviewForm() { worker_.reset(); }

void TRecPreviewForm::buildControls() {
  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  lblGps = new QLabel(this);
  lblGps->setObjectName(QStringLiteral("lblGps"));
  lblFix = new QLabel(this);
  lblFix->setObjectName(QStringLiteral("lblFix"));
  lblFix->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  TrackBar1 = new QSlider(Qt::Horizontal, this);
  TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
  TrackBar1->setTickPosition(QSlider::NoTicks);
  TrackBar1->installEventFilter(this);
  img_range = new QLabel(this);
  img_range->setObjectName(QStringLiteral("img_range"));
  btnFrom = new QPushButton(QStringLiteral("["), this);
  btnFrom->setObjectName(QStringLiteral("btnFrom"));
  btnTill = new QPushButton(QStringLiteral("]"), this);
  btnTill->setObjectName(QStringLiteral("btnTill"));
  btnConv = new QPushButton(QStringLiteral("конвертировать"), this);
  btnConv->setObjectName(QStringLiteral("btnConv"));
  pbConv = new QProgressBar(this);
  pbConv->setObjectName(QStringLiteral("pbConv"));
  pbConv->setRange(0, 100);
  pbConv->setTextVisible(false);
  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  Timer2 = new QTimer(this);
  Timer2->setInterval(200);

  connect(TrackBar1, &QSlider::valueChanged, this, &TRecPreviewForm::TrackBar1Change);
  connect(btnFrom, &QPushButton::clicked, this, &TRecPreviewForm::btnFromClick);
  connect(btnTill, &QPushButton::clicked, this, &TRecPreviewForm::btnTillClick);
  connect(btnConv, &QPushButton::clicked, this, &TRecPreviewForm::btnConvClick);
  connect(Timer1, &QTimer::timeout, this, &TRecPreviewForm::Timer1Timer);
  connect(Timer2, &QTimer::timeout, this, &TRecPreviewForm::Timer2Timer);
}

void TRecPreviewForm::layOut() {
  const int clientWidth = kImageWidth + 8;
  Image1->setGeometry(4, 4, kImageWidth, kImageHeight);
  lblGps->setGeometry(4, kImageHeight + 8, 178, 17);
  lblFix->setGeometry(186, kImageHeight + 8, kImageWidth - 182, 17);
  TrackBar1->setGeometry(4, kImageHeight + 17 + 12, 364, 24);
  const QRect slider = TrackBar1->geometry();
  img_range->setGeometry(slider.left() + 10, slider.bottom() + 1, slider.width() - 21, 4);
  const int top = img_range->geometry().bottom() + 1 + 4;
  const int w = (clientWidth - 20) / 9;
  btnFrom->setGeometry(4, top, w, 20);
  btnTill->setGeometry(btnFrom->geometry().right() + 1 + 4, top, w, 20);
  btnConv->setGeometry(btnTill->geometry().right() + 1 + 4, top, 3 * w, 20);
  pbConv->setGeometry(btnConv->geometry().right() + 1 + 4, top, 4 * w, 20);
  setFixedSize(clientWidth, kImageHeight + 17 + 24 + 4 + 20 + 20);
  drawRange();
}

int TRecPreviewForm::openFor(TRecListForm& list) {
  prepare(list);
  return exec();
}

void TRecPreviewForm::showFor(TRecListForm& list) {
  prepare(list);
  show();
}

void TRecPreviewForm::prepare(TRecListForm& list) {
  list_ = &list;
  const records::RecListMedium& medium = list.medium();
  if (!session_ || sessionReader_ != medium.reader.get()) {
    session_.reset();
    if (medium.reader) session_ = std::make_unique<preview::PreviewSession>(*medium.reader, medium.N_s_s);
    sessionReader_ = medium.reader.get();
  }
  if (session_) session_->set_decoder_name(decoderName_);
  FormShow();
}

void TRecPreviewForm::FormShow() {
  worker_.reset();
  converting_ = false;
  if (session_) session_->Close();
  {
    // The reset to 0 belongs to the record that is leaving: it must not reach the position
    // handler, which would seek on that record.
    const QSignalBlocker block(TrackBar1);
    TrackBar1->setMinimum(0);
    TrackBar1->setValue(0);
  }
  const convert::ConversionRequest& request = list_->conversionRequest();
  record_ = list_->records().at(size_t(request.convRecord)).value_or(records::TRecord{});
  blocks_ = std::max<int64_t>(1, records::RecordBlocks(record_));
  {
    const QSignalBlocker block(TrackBar1);
    TrackBar1->setMaximum(preview::PreviewRange::SliderMax(blocks_));
    TrackBar1->setPageStep(std::max<int>(2, int(blocks_ / 256)));
  }
  range_.Reset(blocks_, record_.bss_index);
  setControlsEnabled(true);
  btnConv->setText(QStringLiteral("конвертировать"));
  if (session_) session_->Open(record_, blocks_);
  showPicture(preview::BlackPicture());
  drawRange();
  seek(TrackBar1->value());
  showBatteryLine();
}

void TRecPreviewForm::seek(int position) {
  if (!session_) return;
  session_->Seek(position);
  reportDecoderFailure();
  if (!Timer2->isActive()) Timer2->start(200);
}

// A decoder that could not be set up is reported once per opening; the window stays usable.
void TRecPreviewForm::reportDecoderFailure() {
  switch (session_->TakeDecoderFailure()) {
    case preview::DecoderSetup::ok:
      break;
    case preview::DecoderSetup::no_decoder:
      app::ShowError(this, QStringLiteral("Декодер H264 не найден."));
      break;
    case preview::DecoderSetup::open_failed:
      app::ShowError(this, QStringLiteral("Не удалось выделить память под окружение."));
      break;
  }
}

void TRecPreviewForm::showBatteryLine() {
  if (!session_) return;
  lblGps->setText(QString::fromStdString(session_->battery_line()));
  lblFix->setText(QString::fromStdString(session_->fix_text()));
}

void TRecPreviewForm::TrackBar1Change(int position) {
  if (position == lastHandledPosition_) return;
  lastHandledPosition_ = position;
  seek(position);
  showBatteryLine();
}

void TRecPreviewForm::Timer2Timer() {
  Timer2->setInterval(200);
  if (!session_) return;
  const preview::Shown shown = session_->DecodeShown();
  // The decoder may be set up here for the first time in this opening.
  reportDecoderFailure();
  if (shown == preview::Shown::unchanged) return;
  Image1->setVisible(session_->picture_visible());
  if (session_->picture_visible()) showPicture(session_->picture());
}

void TRecPreviewForm::showPicture(const preview::Picture& picture) {
  shown_ = ToImage(picture);
  Image1->setPixmap(QPixmap::fromImage(shown_));
}

void TRecPreviewForm::TrackBar1KeyDown() {
  // Without a decoded picture since the opening there is nothing to analyse.
  if (!session_) return;
  const preview::YuvView yuv = session_->decoded();
  if (yuv.empty()) return;
  showPicture(preview::DarkRegionMap({yuv.plane[0], yuv.pitch[0], yuv.width, yuv.height}));
  Image1->setVisible(true);
}

bool TRecPreviewForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == TrackBar1 && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_O && (key->modifiers() & Qt::ControlModifier)) {
      TrackBar1KeyDown();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TRecPreviewForm::drawRange() {
  QPixmap bar(std::max(1, img_range->width()), std::max(1, img_range->height()));
  bar.fill(palette().color(QPalette::Window));
  QPainter painter(&bar);
  const int left = range_.bar_left(bar.width()), right = range_.bar_right(bar.width());
  painter.fillRect(QRect(left, 0, right - left, bar.height()), Qt::red);
  painter.end();
  img_range->setPixmap(bar);
}

void TRecPreviewForm::btnFromClick() {
  range_.MarkFrom(TrackBar1->value(), session_ ? session_->seeker().current_sector() : 0,
                  record_.bss_index);
  drawRange();
}

void TRecPreviewForm::btnTillClick() {
  range_.MarkTill(TrackBar1->value(), session_ ? session_->seeker().current_sector() : 0,
                  record_.bss_index);
  drawRange();
}

void TRecPreviewForm::setControlsEnabled(bool enabled) {
  if (enabled) pbConv->setValue(0);
  for (QWidget* w : {static_cast<QWidget*>(btnFrom), static_cast<QWidget*>(btnTill),
                     static_cast<QWidget*>(btnConv), static_cast<QWidget*>(TrackBar1),
                     static_cast<QWidget*>(Image1)})
    w->setEnabled(enabled);
}

bool TRecPreviewForm::chooseOutputDir() {
  outputDir_.clear();
  const QString start = QString::fromStdString(
      records::UsableStartFolder(app::SettingsStore::outputDir().toStdString()));
  const QString chosen = folderChooser_
                             ? folderChooser_(this, start)
                             : QFileDialog::getExistingDirectory(this, windowTitle(), start);
  if (chosen.isEmpty()) return false;
  app::SettingsStore::setOutputDir(chosen);
  outputDir_ = records::WithTrailingSeparator(chosen.toStdString());
  return true;
}

void TRecPreviewForm::stopConversion() {
  worker_.reset();  // asks the worker to stop and waits: its temporary files are deleted
  converting_ = false;
  btnConv->setText(QStringLiteral("конвертировать"));
}

void TRecPreviewForm::btnConvClick() {
  if (converting_) {
    Timer1->stop();
    Timer2->stop();
    stopConversion();
    setControlsEnabled(true);
    app::ShowInformation(this, QStringLiteral("Конвертация прервана!"));
    return;
  }
  if (!list_ || !chooseOutputDir()) return;
  convert::ConversionRequest& request = list_->conversionRequest();
  request.splitAlways = true;
  request.convStart = range_.convStart;
  request.convEnd = range_.convEnd;
  request.outputDir = outputDir_;
  request.convBaseName = preview::FirstFreeRangeName(outputDir_, card::FormatStamp(record_.bss));
  const convert::ConversionLauncher launch =
      launcherOverride_ ? launcherOverride_
                        : convert::MovieConversionLauncher(list_->medium().reader, *notices_);
  worker_ = launch ? launch(request, record_) : nullptr;
  if (!worker_) {
    app::ShowError(this, QStringLiteral("Произошла ошибка при конвертации: 0"));
    return;
  }
  converting_ = true;
  btnConv->setText(QStringLiteral("прервать"));
  Timer1->start(1000);
  setControlsEnabled(false);
}

void TRecPreviewForm::Timer1Timer() {
  if (!btnConv->isEnabled()) btnConv->setEnabled(true);
  if (!worker_) {
    Timer1->stop();
    Timer2->stop();
    btnConv->setText(QStringLiteral("конвертировать"));
    setControlsEnabled(true);
    converting_ = false;
    return;
  }
  const convert::ConvWorkerStatus status = worker_->status();
  pbConv->setValue(status.progress);
  if (!status.done && !status.failed) return;
  Timer1->stop();
  Timer2->stop();
  if (status.failed) {
    app::ShowError(this, QStringLiteral("Произошла ошибка при конвертации: ") +
                             QString::number(status.errorCode));
  } else if (app::AskYesNo(this, app::BoxKind::information,
                           QStringLiteral("Готово! Открыть папку с записями?"))) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(outputDir_)));
  }
  stopConversion();
  setControlsEnabled(true);
}

void TRecPreviewForm::done(int result) {
  FormCloseQuery();
  QDialog::done(result);
}

void TRecPreviewForm::FormCloseQuery() {
  Timer1->stop();
  Timer2->stop();
  if (converting_) {
    stopConversion();
    app::ShowInformation(this, QStringLiteral("Конвертация прервана!"));
  }
  setControlsEnabled(true);
  if (session_) session_->Close();
}
