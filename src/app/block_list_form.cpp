#include "app/block_list_form.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <QVBoxLayout>

#include "app/form_font.h"
#include "app/window_placement.h"
#include "records/service_list_lines.h"

namespace app {

TBlockListForm::TBlockListForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("BlockList"));
  ApplyFormFont(*this);
  resize(665, 417);
  mm = MakeDumpView(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(mm);
}

void TBlockListForm::fill(card::RegionReader& reader, uint32_t nss,
                          const records::TRecord* current) {
  mm->clear();
  if (!current) return;
  QStringList lines;
  for (const std::string& line : records::ListRecordBlocks(reader, nss, *current))
    lines << QString::fromStdString(line);
  mm->setPlainText(lines.join(QLatin1Char('\n')));
}

void TBlockListForm::openFor(card::RegionReader& reader, uint32_t nss,
                             const records::TRecord* current, QWidget* owner) {
  if (owner && parentWidget() != owner) setParent(owner, Qt::Window);
  fill(reader, nss, current);
  if (!isVisible()) PlaceOverOwner(*this, owner);  // all of it on the screen
  show();
  raise();
  activateWindow();
}

}  // namespace app
