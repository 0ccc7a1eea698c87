#include "app/reclist_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/block_list_form.h"
#include "app/form_font.h"
#include "app/gui_notice_sink.h"
#include "app/settings_store.h"
#include "app/window_placement.h"
#include "records/reclistloadth.h"
#include "records/record_line.h"

namespace {

constexpr int kWindowNumber = 3;  // Wnd3XPos / Wnd3YPos

QString SelectAllCaption(bool nextChecks) {
  return nextChecks ? QStringLiteral("Выбрать все записи") : QStringLiteral("Снять выделение");
}

}  // namespace

TRecListForm::TRecListForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Список записей"));
  app::ApplyFormFont(*this);
  buildControls();
  resize(360, 320);
}

TRecListForm::~TRecListForm() { FormCloseQuery(); }

void TRecListForm::buildControls() {
  CheckListBox1 = new QListWidget(this);
  CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
  btnSelAll = new QPushButton(SelectAllCaption(true), this);
  btnSelAll->setObjectName(QStringLiteral("btnSelAll"));
  btnSelInv = new QPushButton(QStringLiteral("Инвертировать выделение"), this);
  btnSelInv->setObjectName(QStringLiteral("btnSelInv"));
  btnEraseLastRec = new QPushButton(QStringLiteral("Удалить последнюю запись"), this);
  btnEraseLastRec->setObjectName(QStringLiteral("btnEraseLastRec"));
  btnStartConv = new QPushButton(QStringLiteral("Конвертировать"), this);
  btnStartConv->setObjectName(QStringLiteral("btnStartConv"));
  for (QPushButton* b : {btnSelAll, btnSelInv, btnEraseLastRec, btnStartConv}) {
    b->setAutoDefault(false);
    b->installEventFilter(this);
  }
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar2 = new QProgressBar(this);
  ProgressBar2->setObjectName(QStringLiteral("ProgressBar2"));
  for (QProgressBar* p : {ProgressBar1, ProgressBar2}) {
    p->setRange(0, 100);
    p->setValue(0);
    p->setTextVisible(false);
  }
  Label1 = new QLabel(this);
  Label2 = new QLabel(this);
  chkTelemetry = new QCheckBox(QStringLiteral("Сохранять трек GPS и субтитры"), this);
  chkTelemetry->setObjectName(QStringLiteral("chkTelemetry"));
  chkTelemetry->setChecked(app::SettingsStore::saveTelemetry());
  connect(chkTelemetry, &QCheckBox::toggled, this,
          [](bool on) { app::SettingsStore::setSaveTelemetry(on); });
  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer2 = new QTimer(this);
  Timer2->setInterval(100);
  positionTimer_ = new QTimer(this);
  positionTimer_->setSingleShot(true);
  positionTimer_->setInterval(300);
  notices_ = new app::GuiNoticeSink(this);

  CheckListBox1->installEventFilter(this);
  CheckListBox1->viewport()->installEventFilter(this);
  connect(CheckListBox1, &QListWidget::currentRowChanged, this,
          [this](int row) { selection_.set_current(row); });
  connect(CheckListBox1, &QListWidget::itemChanged, this, &TRecListForm::CheckListBox1ItemChanged);
  connect(CheckListBox1, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem*) { CheckListBox1DblClick(); });
  connect(btnSelAll, &QPushButton::clicked, this, &TRecListForm::btnSelAllClick);
  connect(btnSelInv, &QPushButton::clicked, this, &TRecListForm::btnSelInvClick);
  connect(btnStartConv, &QPushButton::clicked, this, &TRecListForm::btnStartConvClick);
  connect(btnEraseLastRec, &QPushButton::clicked, this, &TRecListForm::btnEraseLastRecClick);
  connect(Timer1, &QTimer::timeout, this, &TRecListForm::Timer1Timer);
  connect(Timer2, &QTimer::timeout, this, &TRecListForm::Timer2Timer);
  connect(positionTimer_, &QTimer::timeout, this,
          [this] { app::RememberWindowPosition(*this, kWindowNumber); });
  buildFullScanAction();
}

int TRecListForm::openWith(const records::RecListMedium& medium, bool thorough) {
  prepare(medium, thorough);
  return exec();
}

void TRecListForm::showFor(const records::RecListMedium& medium, bool thorough) {
  prepare(medium, thorough);
  show();
}

void TRecListForm::prepare(const records::RecListMedium& medium, bool thorough) {
  medium_ = medium;
  scanMode_ = thorough ? records::ScanMode::thorough : records::ScanMode::probing;
  convert::TelemetryChoice telemetry;
  telemetry.wanted = [this] { return chkTelemetry->isChecked(); };
  telemetry.failed = [this](const std::string& mp4) {
    QMetaObject::invokeMethod(this, [this, mp4] {
      error(QStringLiteral("Не удалось сохранить трек GPS и субтитры для файла %1")
                .arg(QString::fromStdString(mp4)));
    }, Qt::QueuedConnection);
  };
  launcher_ = convert::MovieConversionLauncher(medium_.reader, *notices_, std::move(telemetry));
  shownOnce_ = false;
}

void TRecListForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shownOnce_ || event->spontaneous()) return;
  shownOnce_ = true;
  FormShow();
}

void TRecListForm::FormShow() {
  app::RestoreWindowPosition(*this, kWindowNumber);
  resetList();
  btnEraseLastRec->setEnabled(!medium_.imageMode);
  const card::ServiceSector* s = medium_.serviceSector;
  const bool hasRecords = s && medium_.reader && s->rec_end_sectnum() != card::kUnsetPointer &&
                          s->rec_end_sectnum() != s->rec_bgn_sectnum();
  if (hasRecords) {
    startScan();
    return;
  }
  inform(QStringLiteral("Записей нет."));
  QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

void TRecListForm::resetList() {
  records_.clear();
  selection_.clear();
  CheckListBox1->clear();
  ProgressBar1->setValue(0);
  Timer1->stop();
  ProgressBar2->setEnabled(true);
  ProgressBar2->setValue(0);
  Timer2->stop();
  scanCompleted_ = false;
  if (medium_.reader) medium_.reader->close();
}

void TRecListForm::startScan() {
  const uint64_t generation = ++scanGeneration_;
  records::ScanRing ring{medium_.N_s_s, medium_.s_s_bgn, medium_.s_s_end, medium_.ringFull};
  // Runs on the scan thread: the descriptor goes into the guarded list first, then its line
  // is posted to the UI thread, so every list line has its descriptor.
  auto sink = [this, generation](const records::TRecord& r) {
    records_.append(r);
    const QString line = QString::fromStdString(records::RecordLine(r));
    QMetaObject::invokeMethod(
        this, [this, generation, line] {
          if (generation == scanGeneration_) appendLine(line);
        },
        Qt::QueuedConnection);
  };
  scanWorker_ = std::make_unique<records::RecListLoadTh>(*medium_.reader, ring, sink, scanMode_);
  scanWorker_->start();
  Timer2->start();
}

void TRecListForm::appendLine(const QString& line) {
  auto* item = new QListWidgetItem(line, CheckListBox1);
  syncing_ = true;
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  syncing_ = false;
  selection_.append();
}

void TRecListForm::Timer2Timer() {
  if (!scanWorker_) {
    ProgressBar2->setEnabled(false);
    return;
  }
  ProgressBar2->setEnabled(true);
  const int32_t total = scanWorker_->scanTotal.load();
  const int32_t position = scanWorker_->scanPosition.load();
  const bool failed = scanWorker_->scanFailed.load();
  if (total > 0) ProgressBar2->setValue(int(int64_t(position) * 100 / total));
  if (position == total || failed) {
    ProgressBar2->setValue(100);
    scanWorker_.reset();  // asks it to terminate and joins
    Timer2->stop();
    scanCompleted_ = !failed;
    // Lines still queued from the worker arrive before this deferred call.
    if (const QByteArray path = qgetenv("KORVAN_RECLIST_SNAPSHOT"); !path.isEmpty())
      QTimer::singleShot(0, this, [this, path] { saveSnapshot(QString::fromLocal8Bit(path)); });
  }
}

void TRecListForm::keyPressEvent(QKeyEvent* event) {
  // Escape must not drop a running scan or conversion queue without a word.
  if (event->key() == Qt::Key_Escape && (scanWorker_ || queue_.converting())) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TRecListForm::closeEvent(QCloseEvent* event) {
  // Closing the window during a conversion ends the queue: ask first, then abort it the way
  // the abort button does.
  if (queue_.converting()) {
    if (!ask(true, QStringLiteral("Идёт конвертация. Прервать её и закрыть окно?"))) {
      event->ignore();
      return;
    }
    abortQueue();
  }
  QDialog::closeEvent(event);
}

void TRecListForm::done(int result) {
  FormCloseQuery();
  QDialog::done(result);
}

void TRecListForm::FormCloseQuery() {
  Timer2->stop();
  ++scanGeneration_;
  scanWorker_.reset();
  Timer1->stop();
  stopConversionWorker();
  queue_.stop();
  records_.clear();
  selection_.clear();
  CheckListBox1->clear();
  setControlsEnabled();
}

void TRecListForm::syncChecks() {
  syncing_ = true;
  for (int i = 0; i < CheckListBox1->count() && i < selection_.count(); ++i)
    CheckListBox1->item(i)->setCheckState(selection_.checked(i) ? Qt::Checked : Qt::Unchecked);
  syncing_ = false;
}

void TRecListForm::CheckListBox1ItemChanged(QListWidgetItem* item) {
  if (syncing_) return;
  selection_.set_checked(CheckListBox1->row(item), item->checkState() == Qt::Checked);
}

void TRecListForm::btnSelAllClick() {
  selection_.select_all();
  btnSelAll->setText(SelectAllCaption(selection_.select_all_next()));
  syncChecks();
}

void TRecListForm::btnSelInvClick() {
  selection_.invert();
  syncChecks();
}

void TRecListForm::setControlsEnabled() {
  btnSelAll->setEnabled(true);
  btnSelInv->setEnabled(true);
  btnEraseLastRec->setEnabled(!medium_.imageMode);
  CheckListBox1->setEnabled(true);
  btnStartConv->setText(QStringLiteral("Конвертировать"));
}

void TRecListForm::CheckListBox1DblClick() {
  if (scanWorker_ || selection_.current() == records::CheckSelection::kNone) return;
  request_.convRecord = selection_.current();
  if (previewOpener_) previewOpener_(*this);
}

bool TRecListForm::eventFilter(QObject* watched, QEvent* event) {
  const bool onButtons = watched == btnStartConv || watched == btnEraseLastRec;
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool ctrl = key->modifiers() & Qt::ControlModifier;
    if (watched == CheckListBox1 && CheckListBox1KeyDown(key)) return true;
    if (onButtons && ctrl && key->key() == Qt::Key_D) {
      btnStartConvKeyDown();
      return true;
    }
    if (watched == btnSelAll && ctrl && key->key() == Qt::Key_N) {
      btnSelAllKeyDown();
      return true;
    }
  }
  if (watched == CheckListBox1->viewport() && event->type() == QEvent::MouseButtonPress)
    CheckListBox1MouseDown(static_cast<QMouseEvent*>(event));
  return QDialog::eventFilter(watched, event);
}

void TRecListForm::CheckListBox1MouseDown(QMouseEvent* mouse) {
  if (mouse->button() != Qt::LeftButton || !(mouse->modifiers() & Qt::ShiftModifier)) return;
  // The press makes the line under the mouse current (also on its check box, where the list
  // itself would leave the highlight behind) before the range is taken, so that the keys and
  // the preview act on the line the user sees.
  const int row = CheckListBox1->row(CheckListBox1->itemAt(mouse->position().toPoint()));
  if (row >= 0) {
    CheckListBox1->setCurrentRow(row);
    selection_.set_current(row);
  }
  const int onList = mouse->position().toPoint().x() + CheckListBox1->viewport()->x();
  selection_.shift_click(onList);
  syncChecks();
}

void TRecListForm::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  if (isVisible()) positionTimer_->start();
}

void TRecListForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FormResize();
  if (isVisible()) positionTimer_->start();
}

bool TRecListForm::saveSnapshot(const QString& path) { return grab().save(path); }

void TRecListForm::btnSelAllKeyDown() {
  if (!medium_.reader) return;
  if (!blockList_) blockList_ = new app::TBlockListForm(this);
  const std::optional<records::TRecord> r = records_.at(size_t(selection_.current()));
  blockList_->openFor(*medium_.reader, medium_.N_s_s, r ? &*r : nullptr, this);
}
