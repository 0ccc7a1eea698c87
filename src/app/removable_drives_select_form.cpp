#include "app/removable_drives_select_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "app/card_op_form.h"
#include "app/device_monitor.h"
#include "app/form_font.h"
#include "app/message_boxes.h"
#include "app/version_text.h"
#include "app/window_placement.h"
#include "platform/block_device.h"
#include "platform/device_access.h"
#include "platform/removable_volumes.h"

namespace app {

namespace {

constexpr int kSettingsWindow = 1;  // Wnd1XPos / Wnd1YPos
constexpr int kClientWidth = 240;
constexpr int kClientHeight = 200;

// Image files and folders need no privilege; a device needs raw access of some kind.
bool MayOpenRaw(const std::string& path) {
  return !platform::IsBlockDevice(path) || platform::DeviceAccessPossible(path);
}

std::vector<card::DriveCandidate> SystemDrives() {
  std::vector<card::DriveCandidate> drives;
  for (const platform::RemovableVolume& v : platform::ListRemovableVolumes())
    drives.push_back({v.devicePath, v.mountPoint});
  return drives;
}

}  // namespace

TRemovableDrivesSelectForm::TRemovableDrivesSelectForm(platform::NoticeSink& notices,
                                                       QWidget* parent)
    : QWidget(parent),
      notices_(notices),
      driveSource_(SystemDrives),
      adminCheck_(MayOpenRaw) {
  setWindowTitle(QStringLiteral("Korvan"));
  ApplyFormFont(*this);
  setFixedSize(kClientWidth, kClientHeight);
  const int width = kClientWidth - 16;
  btnOk = new QPushButton(QStringLiteral("Открыть карту памяти"), this);
  btnOk->setGeometry(8, kClientHeight - 22 - 32, width, 22);
  btnRefresh = new QPushButton(QStringLiteral("Обновить список"), this);
  btnRefresh->setGeometry(8, btnOk->y() - 22 - 8, width, 22);
  ListBox1 = new QListWidget(this);
  ListBox1->setGeometry(8, 8, width, btnRefresh->y() - 16);
  // Long lines (device, mount point, size, type) lose their middle, never a word at the end;
  // each line's tooltip holds all of it.
  ListBox1->setTextElideMode(Qt::ElideMiddle);
  emptyHint_ = new QLabel(
      QStringLiteral("Вставьте карту памяти\nили нажмите Ctrl+M,\nчтобы открыть копию карты"),
      ListBox1->viewport());
  emptyHint_->setAlignment(Qt::AlignCenter);
  emptyHint_->setWordWrap(true);
  emptyHint_->setEnabled(false);  // drawn in the greyed text colour
  emptyHint_->setGeometry(ListBox1->viewport()->rect());
  lblVer = new QLabel(QString::fromStdString(VersionLabelText()), this);
  lblVer->adjustSize();
  lblVer->move(kClientWidth - 8 - lblVer->width(), kClientHeight - 8 - lblVer->height());
  Timer1 = new QTimer(this);

  connect(btnOk, &QPushButton::clicked, this, &TRemovableDrivesSelectForm::OpenSelected);
  connect(btnRefresh, &QPushButton::clicked, this, &TRemovableDrivesSelectForm::btnRefreshClick);
  connect(ListBox1, &QListWidget::itemDoubleClicked, this,
          &TRemovableDrivesSelectForm::OpenSelected);
  connect(Timer1, &QTimer::timeout, this, &TRemovableDrivesSelectForm::Timer1Timer);
  // Anywhere in the window, as the empty list's hint says.
  auto* imageKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), this);
  connect(imageKey, &QShortcut::activated, this, &TRemovableDrivesSelectForm::OpenImageKey);
  ListBox1->installEventFilter(this);
  monitor_ = std::make_unique<DeviceMonitor>([this] { poll_.countEvent(); });
}

void TRemovableDrivesSelectForm::setCardOpForm(TCardOpForm* cardOp) {
  cardOp_ = cardOp;
  if (cardOp_) cardOp_->setShell(this, &poll_);
}

TRemovableDrivesSelectForm::~TRemovableDrivesSelectForm() = default;

void TRemovableDrivesSelectForm::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  poll_.countEvent();
  if (e->spontaneous()) return;
  RestoreWindowPosition(*this, kSettingsWindow);
  poll_.pollingEnabled = true;
  Timer1->start(1);
}

void TRemovableDrivesSelectForm::keyPressEvent(QKeyEvent* e) {
  // Escape never ends the program.
  if (e->key() == Qt::Key_Escape) {
    e->accept();
    return;
  }
  QWidget::keyPressEvent(e);
}

void TRemovableDrivesSelectForm::closeEvent(QCloseEvent* e) {
  poll_.pollingEnabled = false;
  Timer1->stop();
  QWidget::closeEvent(e);
  QCoreApplication::quit();
}

void TRemovableDrivesSelectForm::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  poll_.countEvent();
  if (isVisible()) RememberWindowPosition(*this, kSettingsWindow);
}

void TRemovableDrivesSelectForm::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  poll_.countEvent();
}

bool TRemovableDrivesSelectForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListBox1 && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      OpenSelected();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TRemovableDrivesSelectForm::Timer1Timer() {
  Timer1->setInterval(500);
  if (!startMedium_.isEmpty()) {
    const QString path = startMedium_;
    startMedium_.clear();
    OpenMediumPath(path);
    return;
  }
  switch (poll_.tick()) {
    case DrivePollState::Tick::exit:
      close();
      return;
    case DrivePollState::Tick::refresh: {
      RefreshDriveList();
      std::vector<std::string> lines;
      for (const card::DriveListing& l : listings_) lines.push_back(l.line);
      const int line = poll_.autoOpenLine(lines);
      if (line >= 0) {
        ListBox1->setCurrentRow(line);
        OpenSelected();
        return;
      }
      break;
    }
    case DrivePollState::Tick::idle:
      break;
  }
  if (isHidden()) show();
}

void TRemovableDrivesSelectForm::RefreshDriveList() {
  const int selected = ListBox1->currentRow();
  ListBox1->clear();
  listings_ = card::ListDrives(driveSource_ ? driveSource_() : std::vector<card::DriveCandidate>{},
                               notices_);
  for (const card::DriveListing& l : listings_) {
    const QString line = QString::fromStdString(l.line);
    auto* item = new QListWidgetItem(line, ListBox1);
    item->setToolTip(line);
  }
  emptyHint_->setGeometry(ListBox1->viewport()->rect());
  emptyHint_->setVisible(ListBox1->count() == 0);
  if (selected >= 0 && selected < ListBox1->count()) ListBox1->setCurrentRow(selected);
}

void TRemovableDrivesSelectForm::OpenSelected() {
  const int row = ListBox1->currentRow();
  if (row < 0 || row >= int(listings_.size())) return;
  if (!card::IsFat32DriveLine(listings_[size_t(row)].line)) {
    ShowError(this, QStringLiteral("Данная файловая система не поддерживается."));
    return;
  }
  selectedDrive_ = QString::fromStdString(listings_[size_t(row)].line);
  openCard(QString::fromStdString(listings_[size_t(row)].devicePath), false);
}

void TRemovableDrivesSelectForm::OpenImageFolder(const QString& folder) {
  selectedDrive_ = folder;
  openCard(folder, true);
}

void TRemovableDrivesSelectForm::OpenMediumPath(const QString& path) {
  const QFileInfo info(path);
  if (info.isFile() &&
      info.fileName().compare(QStringLiteral("hc00info.hcf"), Qt::CaseInsensitive) == 0)
    OpenImageFolder(info.absolutePath());
  else if (info.isDir())
    OpenImageFolder(path);
  else
    openCard(path, false);
}

void TRemovableDrivesSelectForm::openCard(const QString& path, bool image) {
  if (!image && adminCheck_ && !adminCheck_(path.toStdString())) {
    ShowWarning(this, QStringLiteral("Программа должна быть запущена\nот имени администратора!\n\n"
                                     "No access to %1 and UDisks2 is not available: "
                                     "run as root or join the disk group "
                                     "(sudo usermod -aG disk $USER, then log in again).")
                          .arg(path));
    return;
  }
  Timer1->stop();
  poll_.pollingEnabled = false;
  imageMode_ = image;
  if (cardOp_) cardOp_->openFor(path);
  imageMode_ = false;
  poll_.pollingEnabled = true;
  Timer1->start(1);
}

void TRemovableDrivesSelectForm::btnRefreshClick() {
  Timer1->start();
  RefreshDriveList();
}

void TRemovableDrivesSelectForm::OpenImageKey() {
  Timer1->stop();
  const QString file = QFileDialog::getOpenFileName(
      this, QString(), QString(), QStringLiteral("Файлы записи (hc00info.hcf)"));
  if (!file.isEmpty()) OpenImageFolder(QFileInfo(file).absolutePath());
  Timer1->start();
}

}  // namespace app
