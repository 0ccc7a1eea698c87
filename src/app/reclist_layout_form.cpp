// Layout and message boxes of the record list window.
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include "app/message_boxes.h"
#include "app/reclist_form.h"

namespace {

constexpr int kGap = 8;
constexpr int kButtonHeight = 22;

int FontHeight(const QWidget* w) { return QFontInfo(w->font()).pixelSize(); }

}  // namespace

void TRecListForm::FormResize() {
  const int minWidth = 36 * FontHeight(btnEraseLastRec);
  if (minimumWidth() != minWidth) setMinimumSize(minWidth, 154);
  const int width = std::max(this->width(), minWidth);
  const int height = std::max(this->height(), 154);

  const int buttonWidth = (width - 3 * kGap) / 2;
  const int secondColumn = 2 * kGap + buttonWidth;
  const int secondRow = 2 * kGap + kButtonHeight;
  btnSelAll->setGeometry(kGap, kGap, buttonWidth, kButtonHeight);
  btnSelInv->setGeometry(secondColumn, kGap, buttonWidth, kButtonHeight);
  btnEraseLastRec->setGeometry(kGap, secondRow, buttonWidth, kButtonHeight);
  btnStartConv->setGeometry(secondColumn, secondRow, buttonWidth, kButtonHeight);

  const int barHeight = 3 * FontHeight(Label1) / 2;
  const int bar1Top = height - kGap - barHeight;
  const int bar2Top = bar1Top - kGap - barHeight;
  Label2->setText(QStringLiteral("Получение списка записей:"));
  Label1->setText(QStringLiteral("Конвертация записей:"));
  const int label2Width = Label2->sizeHint().width();
  const int label1Width = Label1->sizeHint().width();
  const int labelsRight = kGap + label2Width;
  Label2->setGeometry(kGap, bar2Top - 2, label2Width, barHeight);
  Label1->setGeometry(labelsRight - label1Width, bar1Top - 2, label1Width, barHeight);

  const int barLeft = labelsRight + kGap;
  const int barWidth = std::max(width - kGap - barLeft, 0);
  ProgressBar1->setGeometry(barLeft, bar1Top, barWidth, barHeight);
  ProgressBar2->setGeometry(barLeft, bar2Top, barWidth, barHeight);

  const int checkTop = bar2Top - kGap - kButtonHeight;
  chkTelemetry->setGeometry(kGap, checkTop, width - 2 * kGap, kButtonHeight);
  const int listTop = secondRow + kButtonHeight + kGap;
  CheckListBox1->setGeometry(kGap, listTop, width - 2 * kGap,
                             std::max(checkTop - kGap - listTop, 0));
}

void TRecListForm::inform(const QString& text) {
  app::ShowMessage(this, app::BoxKind::information, text);
}

void TRecListForm::error(const QString& text) { app::ShowMessage(this, app::BoxKind::error, text); }

void TRecListForm::plain(const QString& text) { app::ShowMessage(this, app::BoxKind::plain, text); }

bool TRecListForm::ask(bool warning, const QString& text) {
  return app::AskYesNo(this, warning ? app::BoxKind::warning : app::BoxKind::information, text);
}
