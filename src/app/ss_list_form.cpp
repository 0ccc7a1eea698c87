#include "app/ss_list_form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/form_font.h"
#include "records/service_list_lines.h"

namespace app {

TssList::TssList(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("ssList"));
  ApplyFormFont(*this);
  setFixedSize(665, 417);
  auto* label1 = new QLabel(QStringLiteral("Enter ss#"), this);
  label1->setGeometry(8, 8, 60, 21);
  Edit1 = new QLineEdit(QStringLiteral("0"), this);
  Edit1->setGeometry(72, 8, 90, 21);
  auto* label2 = new QLabel(QStringLiteral("Enter count"), this);
  label2->setGeometry(176, 8, 70, 21);
  Edit2 = new QLineEdit(QStringLiteral("128"), this);
  Edit2->setGeometry(250, 8, 90, 21);
  Button1 = new QPushButton(QStringLiteral("Show"), this);
  Button1->setGeometry(354, 8, 75, 22);
  Label3 = new QLabel(this);
  Label3->setGeometry(8, 36, 649, 17);
  mm = MakeDumpView(this);
  mm->setGeometry(8, 58, 649, 351);
  connect(Button1, &QPushButton::clicked, this, &TssList::Button1Click);
}

void TssList::prepare(card::RegionReader* reader, uint32_t nss, uint32_t bgn, uint32_t end) {
  reader_ = reader;
  nss_ = nss;
  mm->clear();
  Label3->setText(QString::fromStdString(records::RingSummary(nss, bgn, end)));
}

int TssList::openFor(card::RegionReader* reader, uint32_t nss, uint32_t bgn, uint32_t end) {
  prepare(reader, nss, bgn, end);
  const int result = exec();
  reader_ = nullptr;
  return result;
}

void TssList::Button1Click() {
  mm->clear();
  if (nss_ == 0 || !reader_) return;
  const uint32_t first = records::CorrectFirstBlock(Edit1->text().toStdString(), nss_);
  Edit1->setText(QString::number(first));
  const uint32_t count = records::CorrectBlockCount(Edit2->text().toStdString(), nss_);
  Edit2->setText(QString::number(count));
  QStringList lines;
  for (const std::string& line : records::ListRingBlocks(*reader_, nss_, first, count))
    lines << QString::fromStdString(line);
  mm->setPlainText(lines.join(QLatin1Char('\n')));
}

}  // namespace app
