#include "app/settings_form.h"

#include <algorithm>

#include <QCheckBox>
#include <QShowEvent>
#include <QDate>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimeEdit>

#include "app/form_font.h"

namespace app {

namespace {

constexpr int kClientWidth = 560;
constexpr int kSliderBoxHeight = 56;
constexpr int kInputBoxHeight = 64;

const QString& QualityText(int position) {
  static const QString kTexts[3] = {QStringLiteral("Низкое"), QStringLiteral("Среднее"),
                                    QStringLiteral("Высокое")};
  return kTexts[std::clamp(position, 0, 2)];
}

const QString& VoxText(int position) {
  static const QString kTexts[10] = {
      QStringLiteral("Выкл."),     QStringLiteral("Уровень 1"), QStringLiteral("Уровень 2"),
      QStringLiteral("Уровень 3"), QStringLiteral("Уровень 4"), QStringLiteral("Уровень 5"),
      QStringLiteral("Уровень 6"), QStringLiteral("Уровень 7"), QStringLiteral("Уровень 8"),
      QStringLiteral("Уровень 9")};
  return kTexts[std::clamp(position, 0, 9)];
}

// The weekly box caption for a date; index 0 is Sunday.
const QString& WeeklyText(const QDate& date) {
  static const QString kTexts[7] = {
      QStringLiteral("каждое воскресенье"), QStringLiteral("каждый понедельник"),
      QStringLiteral("каждый вторник"),     QStringLiteral("каждую среду"),
      QStringLiteral("каждый четверг"),     QStringLiteral("каждую пятницу"),
      QStringLiteral("каждую субботу")};
  return kTexts[date.dayOfWeek() % 7];
}

QSlider* Slider(QWidget* parent, int maximum) {
  auto* s = new QSlider(Qt::Horizontal, parent);
  s->setRange(0, maximum);
  s->setPageStep(1);
  s->setTickPosition(QSlider::TicksBelow);
  return s;
}

QDate ToQDate(const prepare::CivilDate& d) { return QDate(d.year, d.month, d.day); }
QTime ToQTime(const prepare::ClockTime& t) { return QTime(t.hour, t.minute, 0); }

}  // namespace

TSettingsForm::TSettingsForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Настройки записи"));
  ApplyFormFont(*this);
  buildControls();
  buildTimerRows();
  connectHandlers();
  // Both sliders start at their maximum, which fills their labels.
  trkbar_avqualily->setValue(trkbar_avqualily->maximum());
  trkbarAVox->setValue(trkbarAVox->maximum());
  trkbar_avqualilyChange();
  trkbarAVoxChange();
  resize(kClientWidth, 300);
  FormResize();
}

void TSettingsForm::buildControls() {
  GroupBox1 = new QGroupBox(QStringLiteral("Акустопуск"), this);
  GroupBox2 = new QGroupBox(QStringLiteral("Качество записи"), this);
  GroupBox3 = new QGroupBox(QStringLiteral("Аудиовход"), this);
  GroupBox4 = new QGroupBox(QStringLiteral("Таймеры включения записи"), this);
  trkbar_avqualily = Slider(GroupBox2, 2);
  labelAvQuality = new QLabel(GroupBox2);
  trkbarAVox = Slider(GroupBox1, 9);
  labelVox = new QLabel(GroupBox1);
  chbxRing = new QCheckBox(QStringLiteral("Запись по кольцу"), this);
  chbxTxtOverlay = new QCheckBox(QStringLiteral("Наложение даты/времени"), this);
  radioMic = new QRadioButton(QStringLiteral("Микрофон"), GroupBox3);
  chbxAGC = new QCheckBox(QStringLiteral("АРУ"), GroupBox3);
  radioLine = new QRadioButton(QStringLiteral("Линейный вход"), GroupBox3);
  btnSave = new QPushButton(QStringLiteral("Сохранить"), this);
  btnCancel = new QPushButton(QStringLiteral("Отмена"), this);
  trkbar_avqualily->setObjectName(QStringLiteral("trkbar_avqualily"));
  trkbarAVox->setObjectName(QStringLiteral("trkbarAVox"));
}

void TSettingsForm::buildTimerRows() {
  Label5 = new QLabel(QStringLiteral("Вкл."), GroupBox4);
  Label3 = new QLabel(QStringLiteral("Дата/время"), GroupBox4);
  Label4 = new QLabel(QStringLiteral("Длительность"), GroupBox4);
  for (int i = 0; i < 3; ++i) {
    const QString n = QString::number(i + 1);
    chbxTon[i] = new QCheckBox(GroupBox4);
    chbxTon[i]->setObjectName(QStringLiteral("chbxT%1on").arg(n));
    chbxTd[i] = new QCheckBox(QStringLiteral("каждый день"), GroupBox4);
    chbxTd[i]->setObjectName(QStringLiteral("chbxT%1d").arg(n));
    chbxTw[i] = new QCheckBox(QStringLiteral("каждый ____________"), GroupBox4);
    chbxTw[i]->setObjectName(QStringLiteral("chbxT%1w").arg(n));
    dtPickerTdmy[i] = new QDateEdit(GroupBox4);
    dtPickerTdmy[i]->setObjectName(QStringLiteral("dtPickerT%1dmy").arg(n));
    dtPickerTdmy[i]->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    // The card keeps two digits of the year.
    dtPickerTdmy[i]->setDateRange(QDate(2000, 1, 1), QDate(2099, 12, 31));
    dtPickerThm[i] = new QTimeEdit(GroupBox4);
    dtPickerThm[i]->setObjectName(QStringLiteral("dtPickerT%1hm").arg(n));
    dtPickerTdur[i] = new QTimeEdit(GroupBox4);
    dtPickerTdur[i]->setObjectName(QStringLiteral("dtPickerT%1dur").arg(n));
    for (QTimeEdit* t : {dtPickerThm[i], dtPickerTdur[i]})
      t->setDisplayFormat(QStringLiteral("HH:mm"));
  }
}

void TSettingsForm::connectHandlers() {
  connect(btnSave, &QPushButton::clicked, this, &TSettingsForm::btnSaveClick);
  connect(btnCancel, &QPushButton::clicked, this, &TSettingsForm::btnCancelClick);
  connect(radioMic, &QRadioButton::clicked, this, &TSettingsForm::radioMicClick);
  connect(radioLine, &QRadioButton::clicked, this, &TSettingsForm::radioLineClick);
  connect(trkbar_avqualily, &QSlider::valueChanged, this, &TSettingsForm::trkbar_avqualilyChange);
  connect(trkbarAVox, &QSlider::valueChanged, this, &TSettingsForm::trkbarAVoxChange);
  for (int i = 0; i < 3; ++i) {
    connect(chbxTon[i], &QCheckBox::clicked, this, [this, i] { chbxTonClick(i); });
    connect(chbxTd[i], &QCheckBox::clicked, this, [this, i] { chbxTdClick(i); });
    connect(chbxTw[i], &QCheckBox::clicked, this, [this, i] { chbxTwClick(i); });
    connect(dtPickerTdmy[i], &QDateEdit::dateChanged, this, [this, i] {
      markEdited(i);
      dtPickerTdmyChange();
    });
    for (QTimeEdit* t : {dtPickerThm[i], dtPickerTdur[i]})
      connect(t, &QTimeEdit::timeChanged, this, [this, i] { markEdited(i); });
  }
}

void TSettingsForm::setSource(const card::ServiceSector& source, Store store) {
  source_ = source;
  store_ = std::move(store);
}

int TSettingsForm::openFor(const card::ServiceSector& source, Store store) {
  setSource(source, std::move(store));
  return exec();
}

void TSettingsForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  // A restore from minimised is not a new showing: the edits stay.
  if (!e->spontaneous()) FormShow();
}

void TSettingsForm::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  FormResize();
}

void TSettingsForm::FormShow() {
  loading_ = true;
  working_ = source_;
  const prepare::RecordingSettings s =
      prepare::LoadSettings(working_, prepare::LocalNowFromClock().date);
  trkbar_avqualily->setValue(s.qualityPosition);
  trkbar_avqualilyChange();
  chbxRing->setChecked(s.ring);
  chbxTxtOverlay->setChecked(s.overlay);
  // Exclusive buttons: checking one unchecks the other.
  (s.input == prepare::AudioInput::line ? radioLine : radioMic)->setChecked(true);
  chbxAGC->setChecked(s.input == prepare::AudioInput::micAgc);
  chbxAGC->setEnabled(radioMic->isChecked());
  trkbarAVox->setValue(s.vox);
  trkbarAVoxChange();
  for (int i = 0; i < 3; ++i) {
    showRow(i, s.timers[size_t(i)]);
    rowValid_[size_t(i)] = s.timers[size_t(i)].valid;
  }
  rowEdited_ = {};
  refreshWeeklyCaptions();
  applyOnRule();
  loading_ = false;
}

void TSettingsForm::showRow(int row, const prepare::TimerRow& t) {
  chbxTon[row]->setChecked(t.on);
  chbxTd[row]->setChecked(t.daily);
  chbxTw[row]->setChecked(t.weekly);
  dtPickerTdmy[row]->setDate(ToQDate(t.date));
  dtPickerThm[row]->setTime(ToQTime(t.start));
  dtPickerTdur[row]->setTime(ToQTime(t.duration));
}

prepare::TimerRow TSettingsForm::rowFromControls(int row) const {
  prepare::TimerRow t;
  t.on = chbxTon[row]->isChecked();
  t.daily = chbxTd[row]->isChecked();
  t.weekly = chbxTw[row]->isChecked();
  const QDate d = dtPickerTdmy[row]->date();
  t.date = {d.year(), d.month(), d.day()};
  t.start = {dtPickerThm[row]->time().hour(), dtPickerThm[row]->time().minute()};
  t.duration = {dtPickerTdur[row]->time().hour(), dtPickerTdur[row]->time().minute()};
  t.valid = rowValid_[size_t(row)];
  t.edited = rowEdited_[size_t(row)];
  return t;
}

void TSettingsForm::markEdited(int row) {
  if (!loading_) rowEdited_[size_t(row)] = true;
}

void TSettingsForm::FormResize() {
  const int w = width();
  const int fontHeight = 10;
  const int leftWidth = (6 * w - 144) / 16;
  GroupBox2->setGeometry(8, 8, leftWidth, kSliderBoxHeight);
  chbxRing->setGeometry(8, GroupBox2->geometry().bottom() + 1 + 8, leftWidth, fontHeight * 3 / 2);
  chbxTxtOverlay->setGeometry(8, chbxRing->geometry().bottom() + 1 + 8, leftWidth,
                              fontHeight * 3 / 2);
  GroupBox3->setGeometry(8, chbxTxtOverlay->geometry().bottom() + 1 + 12, leftWidth,
                         kInputBoxHeight);
  GroupBox1->setGeometry(8, GroupBox3->geometry().bottom() + 1 + 8, leftWidth, kSliderBoxHeight);
  const int voxBottom = GroupBox1->y() + GroupBox1->height();
  GroupBox4->setGeometry(leftWidth + 16, 8, (10 * w - 240) / 16, voxBottom - GroupBox2->y());
  const int buttonTop = GroupBox4->y() + GroupBox4->height() + 8;
  const int buttonWidth = (w - 24) / 2;
  btnSave->setGeometry(8, buttonTop, buttonWidth, 22);
  btnCancel->setGeometry(8 + buttonWidth + 8, buttonTop, buttonWidth, 22);

  // Inside the boxes.
  for (auto [slider, label] : {std::pair{trkbar_avqualily, labelAvQuality},
                               std::pair{trkbarAVox, labelVox}}) {
    slider->setGeometry(8, 16, leftWidth - 16, 22);
    label->setGeometry(8, 38, leftWidth - 16, 14);
  }
  radioMic->setGeometry(8, 18, leftWidth / 2 - 8, 18);
  chbxAGC->setGeometry(leftWidth / 2, 18, leftWidth / 2 - 8, 18);
  radioLine->setGeometry(8, 40, leftWidth - 16, 18);
  const int boxWidth = GroupBox4->width();
  const int durationLeft = boxWidth - 8 - 64;
  Label5->setGeometry(8, 18, 30, 14);
  Label3->setGeometry(32, 18, 140, 14);
  Label4->setGeometry(durationLeft, 18, 72, 14);
  for (int i = 0; i < 3; ++i) {
    const int top = 36 + i * 66;
    chbxTon[i]->setGeometry(8, top, 20, 20);
    dtPickerTdmy[i]->setGeometry(32, top, 96, 20);
    dtPickerThm[i]->setGeometry(132, top, 60, 20);
    dtPickerTdur[i]->setGeometry(durationLeft, top, 64, 20);
    chbxTd[i]->setGeometry(32, top + 24, 96, 18);
    chbxTw[i]->setGeometry(132, top + 24, boxWidth - 132 - 8, 18);
  }
  const int clientHeight = buttonTop + 22 + 8;
  if (height() != clientHeight) resize(w, clientHeight);
}

void TSettingsForm::btnSaveClick() {
  prepare::RecordingSettings s;
  s.qualityPosition = trkbar_avqualily->value();
  s.ring = chbxRing->isChecked();
  s.overlay = chbxTxtOverlay->isChecked();
  s.input = radioLine->isChecked()  ? prepare::AudioInput::line
            : chbxAGC->isChecked() ? prepare::AudioInput::micAgc
                                   : prepare::AudioInput::mic;
  s.vox = trkbarAVox->value();
  for (int i = 0; i < 3; ++i) s.timers[size_t(i)] = rowFromControls(i);
  prepare::StoreSettings(s, working_);
  if (store_) store_(working_);
  accept();
}

void TSettingsForm::btnCancelClick() { reject(); }

void TSettingsForm::radioMicClick() { chbxAGC->setEnabled(radioMic->isChecked()); }

void TSettingsForm::radioLineClick() { chbxAGC->setEnabled(radioMic->isChecked()); }

void TSettingsForm::trkbar_avqualilyChange() {
  labelAvQuality->setText(QualityText(trkbar_avqualily->value()));
}

void TSettingsForm::trkbarAVoxChange() { labelVox->setText(VoxText(trkbarAVox->value())); }

void TSettingsForm::dtPickerTdmyChange() { refreshWeeklyCaptions(); }

void TSettingsForm::refreshWeeklyCaptions() {
  for (int i = 0; i < 3; ++i) chbxTw[i]->setText(WeeklyText(dtPickerTdmy[i]->date()));
}

void TSettingsForm::applyOnRule() {
  for (int i = 0; i < 3; ++i) {
    const bool on = chbxTon[i]->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(chbxTd[i]), static_cast<QWidget*>(chbxTw[i]),
                       static_cast<QWidget*>(dtPickerTdmy[i]), static_cast<QWidget*>(dtPickerThm[i]),
                       static_cast<QWidget*>(dtPickerTdur[i])})
      w->setEnabled(on);
  }
}

void TSettingsForm::chbxTonClick(int row) {
  markEdited(row);
  applyOnRule();
  prepare::TimerRow t = rowFromControls(row);
  if (prepare::MovePastStartToNow(t, prepare::LocalNowFromClock())) {
    dtPickerTdmy[row]->setDate(ToQDate(t.date));
    dtPickerThm[row]->setTime(ToQTime(t.start));
    refreshWeeklyCaptions();
  }
}

void TSettingsForm::chbxTdClick(int row) {
  markEdited(row);
  for (int i = 0; i < 3; ++i)
    if (chbxTd[i]->isChecked()) chbxTw[i]->setChecked(false);
}

void TSettingsForm::chbxTwClick(int row) {
  markEdited(row);
  for (int i = 0; i < 3; ++i)
    if (chbxTw[i]->isChecked()) chbxTd[i]->setChecked(false);
}

}  // namespace app
