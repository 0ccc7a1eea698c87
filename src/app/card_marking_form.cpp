#include "app/card_marking_form.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include "app/card_marking_progress_form.h"
#include "app/form_font.h"
#include "app/message_boxes.h"
#include "card/card_state.h"
#include "prepare/marking_plan.h"

namespace app {

TCardMarkingForm::TCardMarkingForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Разметка карты памяти"));
  ApplyFormFont(*this);
  setFixedSize(336, 132);
  InfoLabel1 = new QLabel(QStringLiteral("Выберите размер области под хранение видеозаписей"), this);
  InfoLabel1->setGeometry(8, 8, 320, 20);
  TrackBar1 = new QSlider(Qt::Horizontal, this);
  TrackBar1->setGeometry(8, 36, 320, 32);
  TrackBar1->setRange(1, 100);
  TrackBar1->setSingleStep(1);
  TrackBar1->setValue(100);
  Label1 = new QLabel(this);
  Label1->setGeometry(8, 76, 320, 20);
  btnCardMark = new QPushButton(QStringLiteral("Разметить карту памяти"), this);
  btnCardMark->setGeometry(8, 104, 156, 20);
  btnCancel = new QPushButton(QStringLiteral("Отмена"), this);
  btnCancel->setGeometry(172, 104, 156, 20);
  connect(TrackBar1, &QSlider::valueChanged, this, &TCardMarkingForm::TrackBar1Change);
  connect(btnCardMark, &QPushButton::clicked, this, &TCardMarkingForm::btnCardMarkClick);
  connect(btnCancel, &QPushButton::clicked, this, &TCardMarkingForm::btnCancelClick);
}

void TCardMarkingForm::prepareFor(card::CardMedium& m) {
  medium_ = &m;
  marked_ = false;
  markableBytes_ = m.volume() ? prepare::MarkableBytes(*m.volume(), m.geometry) : 0;
}

bool TCardMarkingForm::openFor(card::CardMedium& m) {
  prepareFor(m);
  exec();
  return marked_;
}

void TCardMarkingForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  FormShow();
}

void TCardMarkingForm::FormShow() { TrackBar1Change(); }

void TCardMarkingForm::TrackBar1Change() {
  if (!medium_) return;
  layout_ = prepare::LayoutForShare(medium_->cardLength, markableBytes_, TrackBar1->value());
  if (layout_.share != TrackBar1->value()) {
    // The share moved up to the first one that gives a layout (100 when none does).
    const QSignalBlocker block(TrackBar1);
    TrackBar1->setValue(layout_.share);
  }
  btnCardMark->setEnabled(layout_.ok);
  const QString region = layout_.ok
                             ? QString::fromStdString(card::FormatBytes(layout_.layout.regionBytes()))
                             : QStringLiteral("0B");
  Label1->setText(QString::number(layout_.share) + QStringLiteral("% = ") + region);
}

void TCardMarkingForm::btnCardMarkClick() {
  if (!medium_ || !layout_.ok) return;
  const QString drive = QString::fromStdString(card::MediumLabel(*medium_));
  if (!AskYesNo(this, BoxKind::warning,
                QStringLiteral("Вы действительно хотите разметить\nотформатированный сменный носитель ") +
                    drive + QStringLiteral(" ?")))
    return;
  TCardMarkingProgress progress(this);
  marked_ = progress.run(*medium_, layout_.layout);
  accept();
}

void TCardMarkingForm::btnCancelClick() { reject(); }

}  // namespace app
