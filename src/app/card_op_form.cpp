#include "app/card_op_form.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>

#include "app/drive_poll_state.h"
#include "app/form_font.h"
#include "app/message_boxes.h"
#include "app/ss_list_form.h"
#include "app/state_icons.h"
#include "app/version_text.h"
#include "app/window_placement.h"
#include "card/service_summary.h"

namespace app {

namespace {

constexpr int kSettingsWindow = 2;  // Wnd2XPos / Wnd2YPos
constexpr int kClientWidth = 240;
constexpr int kDescriptionHeight = 40;
// The bar's used part: the system colour of inactive caption gradients.
const QColor kUsedColour(0xD7, 0xE4, 0xF2);

QFrame* StatusPanel(QWidget* parent, int x, int y, int width) {
  auto* panel = new QFrame(parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setGeometry(x, y, width, 17);
  return panel;
}

QLabel* IconLabel(QWidget* parent, int width) {
  auto* label = new QLabel(parent);
  label->setGeometry(1, 1, width, kIconSize);
  return label;
}

}  // namespace

TCardOpForm::TCardOpForm(platform::NoticeSink& notices, QWidget* parent)
    : QDialog(parent), medium_(notices) {
  ApplyFormFont(*this);
  buildLayout();
  auto key = [this](QKeyCombination keys, void (TCardOpForm::*handler)()) {
    auto* shortcut = new QShortcut(QKeySequence(keys), this);
    connect(shortcut, &QShortcut::activated, this, handler);
  };
  key(Qt::CTRL | Qt::Key_I, &TCardOpForm::SummaryKey);
  key(Qt::CTRL | Qt::Key_N, &TCardOpForm::ServiceListKey);
  key(Qt::CTRL | Qt::Key_E, &TCardOpForm::EraseKey);
  key(Qt::CTRL | Qt::Key_R, &TCardOpForm::RecoverKey);
  connect(Button1, &QPushButton::clicked, this, &TCardOpForm::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TCardOpForm::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TCardOpForm::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TCardOpForm::Button4Click);
  for (QWidget* w : {static_cast<QWidget*>(Panel2), static_cast<QWidget*>(Image1),
                     static_cast<QWidget*>(Label2)}) {
    w->installEventFilter(this);
    // The bar switches between used and free space on a click: say so where the mouse is.
    w->setCursor(Qt::PointingHandCursor);
    w->setToolTip(QStringLiteral("Щелчок переключает: занято / свободно"));
  }
}

TCardOpForm::~TCardOpForm() = default;

void TCardOpForm::buildLayout() {
  const int w = kClientWidth;
  Label1 = new QLabel(this);
  Label1->setGeometry(8, 8, w - 16, kDescriptionHeight);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label1->setWordWrap(true);
  const int half = (w - 24) / 2;
  Button3 = new QPushButton(QStringLiteral("Открыть записи"), this);
  Button3->setGeometry(8, 56, half, 22);
  Button4 = new QPushButton(QStringLiteral("Выбрать носитель"), this);
  Button4->setGeometry(half + 16, 56, half, 22);
  Button1 = new QPushButton(QStringLiteral("Очистить карту"), this);
  Button1->setGeometry(8, 86, half, 22);
  Button1->setEnabled(false);
  Button2 = new QPushButton(QStringLiteral("Настройки"), this);
  Button2->setGeometry(half + 16, 86, half, 22);
  Panel2 = new QFrame(this);
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel2->setGeometry(8, 124, w - 16, 22);
  Image1 = new QLabel(Panel2);
  Image1->setGeometry(2, 2, Panel2->width() - 4, Panel2->height() - 4);
  Label2 = new QLabel(Panel2);
  Label2->setGeometry(4, 4, Panel2->width() - 8, Panel2->height() - 8);
  Label2->setAlignment(Qt::AlignCenter);
  lblVer = new QLabel(QString::fromStdString(VersionLabelText()), this);
  lblVer->adjustSize();
  lblVer->move(w - 8 - lblVer->width(), 146 + 8);
  const int height = 146 + 17 + 32;
  const int top = height - 2 - 17;
  stat_q = StatusPanel(this, 2, top, 62);
  stat_f = StatusPanel(this, 66, top, 17);
  stat_a = StatusPanel(this, 85, top, w - 62 - 17 - 17 - 10);
  stat_t = StatusPanel(this, stat_a->x() + stat_a->width() + 2, top, 17);
  img_q = IconLabel(stat_q, 60);
  img_f = IconLabel(stat_f, kIconSize);
  img_a = IconLabel(stat_a, kIconSize);
  img_t = IconLabel(stat_t, kIconSize);
  label_a = new QLabel(stat_a);
  label_a->setGeometry(1 + kIconSize + 2, 0, stat_a->width() - kIconSize - 4, 17);
  label_a->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setFixedSize(w, height);
}

void TCardOpForm::setShell(QWidget* mainWindow, DrivePollState* poll) {
  mainWindow_ = mainWindow;
  poll_ = poll;
}

void TCardOpForm::setMediumPath(const QString& mediumPath) {
  mediumPath_ = mediumPath;
  QString label = mediumPath;
  while (label.size() > 1 && label.endsWith(QLatin1Char('/'))) label.chop(1);
  setWindowTitle(QStringLiteral("Korvan (%1)").arg(label));
}

int TCardOpForm::openFor(const QString& mediumPath) {
  setMediumPath(mediumPath);
  return exec();
}

void TCardOpForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (e->spontaneous()) return;
  shown_ = true;
  RestoreWindowPosition(*this, kSettingsWindow);
  if (mainWindow_) mainWindow_->hide();
  Reopen();
}

void TCardOpForm::done(int result) {
  medium_.CloseMedium();
  shown_ = false;
  QDialog::done(result);
}

void TCardOpForm::moveEvent(QMoveEvent* e) {
  QDialog::moveEvent(e);
  if (shown_) RememberWindowPosition(*this, kSettingsWindow);
}

void TCardOpForm::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  if (shown_) ShowUsage();
}

bool TCardOpForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress &&
      (watched == Panel2 || watched == Image1 || watched == Label2)) {
    UsageClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

bool TCardOpForm::Reopen() {
  if (!medium_.OpenMedium(mediumPath_.toStdString())) {
    // The notice has been shown; this window closes and the main window stays.
    if (poll_) poll_->exitOnClose = false;
    Button1->setEnabled(false);
    QTimer::singleShot(0, this, &QDialog::reject);
    return false;
  }
  // Only a real card ends the program when its window closes; images never do.
  if (poll_ && medium_.kind == card::MediumKind::blockDevice) poll_->exitOnClose = true;
  setButtons();
  ShowCardState();
  return true;
}

void TCardOpForm::setButtons() {
  const card::CardClass cls = card::ClassOf(card::CardStateInput::FromMedium(medium_));
  const bool image = medium_.imageMode;
  const bool marked = cls == card::CardClass::marked;
  switch (cls) {
    case card::CardClass::marked:
      Button1->setText(QStringLiteral("Очистить карту"));
      Button1->setEnabled(!image && actions_.clear);
      break;
    case card::CardClass::empty:
      Button1->setText(QStringLiteral("Разметить карту"));
      Button1->setEnabled(bool(actions_.mark));
      break;
    case card::CardClass::unformatted:
      Button1->setText(QStringLiteral("Форматир. карту"));
      Button1->setEnabled(bool(actions_.format));
      break;
  }
  Button2->setEnabled(marked && !image && actions_.settings);
  Button3->setEnabled(marked && actions_.records);
  Button4->setEnabled(true);
}

void TCardOpForm::ShowCardState() {
  state_ = card::CardStateInput::FromMedium(medium_);
  const card::CardStateView view = card::DescribeCardState(state_);
  QPixmap quality(60, kIconSize);
  quality.fill(Qt::transparent);
  {
    QPainter p(&quality);
    for (int slot = 0; slot < 4; ++slot) p.drawImage(slot * kIconSize, 0, StateIcon(view.img_q[slot]));
  }
  img_q->setPixmap(quality);
  img_f->setPixmap(QPixmap::fromImage(StateIcon(view.img_f)));
  img_a->setPixmap(QPixmap::fromImage(StateIcon(view.img_a)));
  img_t->setPixmap(QPixmap::fromImage(StateIcon(view.img_t)));
  label_a->setText(QString::fromStdString(view.label_a));
  Label1->setText(QString::fromStdString(view.description));
  Label1->setToolTip(Label1->text());
  fitDescription();
  ShowUsage();
}

void TCardOpForm::ShowUsage() {
  const card::UsageView usage = card::DescribeUsage(state_, showFree_);
  QPixmap bar(Image1->size());
  if (!usage.marked) {
    bar.fill(palette().color(QPalette::Window));
  } else {
    bar.fill(Qt::white);
    QPainter p(&bar);
    p.fillRect(QRect(1, 1, usage.fillWidth(bar.width()), bar.height() - 2), kUsedColour);
  }
  Image1->setPixmap(bar);
  Label2->setText(QString::fromStdString(usage.text));
}

QString TCardOpForm::summaryText() const {
  return QString::fromStdString(card::ServiceSectorSummary(medium_.serviceSector));
}

void TCardOpForm::runChild(const CardActions::Action& action) {
  if (!action) return;
  shown_ = false;
  action(*this);
  shown_ = true;
}

void TCardOpForm::Button1Click() {
  switch (card::ClassOf(state_)) {
    case card::CardClass::marked:
      if (actions_.clear) actions_.clear(*this);
      break;
    case card::CardClass::empty: {
      if (!actions_.mark) return;
      shown_ = false;
      const bool marked = actions_.mark(*this);
      shown_ = true;
      // A cancelled or failed marking is never followed by the service sector: the card
      // shows what it holds (the user was told to format it after a failure).
      if (!marked) {
        Reopen();
        return;
      }
      // The card receives its default service sector for the partition files just made.
      if (!medium_.OpenMedium(mediumPath_.toStdString(), card::OpenOptions{.writable = true})) {
        Reopen();
        return;
      }
      card::InitServiceSector(medium_.serviceSector, medium_.region);
      medium_.WriteCardServiceSector();
      Reopen();
      break;
    }
    case card::CardClass::unformatted:
      if (actions_.format) actions_.format(*this);
      break;
  }
}

void TCardOpForm::Button2Click() {
  runChild(actions_.settings);
  ShowCardState();
}

void TCardOpForm::Button3Click() {
  runChild(actions_.records);
  ShowCardState();
}

void TCardOpForm::Button4Click() {
  medium_.CloseMedium();
  shown_ = false;
  if (poll_) {
    poll_->autoOpen = false;
    poll_->exitOnClose = false;
  }
  accept();
}

void TCardOpForm::CloseForReopen() {
  medium_.CloseMedium();
  shown_ = false;
  if (poll_) {
    poll_->autoOpen = true;
    poll_->exitOnClose = false;
  }
  accept();
}

void TCardOpForm::UsageClick() {
  showFree_ = !showFree_;
  ShowUsage();
}

bool TCardOpForm::hiddenKeysAvailable() const {
  // The keys belong to the mode button, and only while it can act: a disabled button (an
  // image, or an operation not available) offers none of them.
  return Button1->hasFocus() && Button1->isEnabled();
}

void TCardOpForm::keyPressEvent(QKeyEvent* e) {
  // Escape would close the window like "Выбрать носитель" without clearing exitOnClose, which
  // ends the whole program after a device session: the window closes only by its buttons.
  if (e->key() == Qt::Key_Escape) {
    e->accept();
    return;
  }
  QDialog::keyPressEvent(e);
}

void TCardOpForm::fitDescription() {
  // The description wraps at word boundaries; when it needs more than the fixed 40 pixels
  // the window grows downwards instead of cutting lines off.
  const int wanted = std::max(kDescriptionHeight, Label1->heightForWidth(Label1->width()));
  const int delta = wanted - Label1->height();
  if (delta == 0) return;
  for (QObject* child : children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (w && w != Label1 && w->y() >= Label1->y() + Label1->height())
      w->move(w->x(), w->y() + delta);
  }
  Label1->resize(Label1->width(), wanted);
  setFixedSize(width(), height() + delta);
}

void TCardOpForm::SummaryKey() {
  if (hiddenKeysAvailable()) ShowPlain(this, summaryText());
}

void TCardOpForm::ServiceListKey() {
  if (!hiddenKeysAvailable() || !ssList_) return;
  shown_ = false;
  ssList_->openFor(medium_.regionReader().get(), medium_.N_s_s, medium_.s_s_bgn, medium_.s_s_end);
  shown_ = true;
}

void TCardOpForm::EraseKey() {
  if (hiddenKeysAvailable() && medium_.marked && actions_.erase) actions_.erase(*this);
}

void TCardOpForm::RecoverKey() {
  if (hiddenKeysAvailable() && actions_.recover &&
      medium_.serviceSector.rec_bgn_sectnum() == medium_.serviceSector.rec_end_sectnum())
    actions_.recover(*this);
}

}  // namespace app
