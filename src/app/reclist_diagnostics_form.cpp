// The record list's key commands: the Shift anchor and the hidden diagnostics.
#include <QFileInfo>
#include <QKeyEvent>

#include "records/record_diagnostics.h"
#include "app/reclist_form.h"

bool TRecListForm::CheckListBox1KeyDown(QKeyEvent* key) {
  if (key->modifiers() & Qt::ShiftModifier) selection_.remember_anchor();
  if (!(key->modifiers() & Qt::ControlModifier)) return false;
  const bool command = key->key() == Qt::Key_I || key->key() == Qt::Key_Y || key->key() == Qt::Key_B;
  if (!command || selection_.current() == records::CheckSelection::kNone) return command;
  if (key->key() == Qt::Key_I) showFullDump();
  if (key->key() == Qt::Key_Y) showShortDump();
  if (key->key() == Qt::Key_B) writeBatteryLog();
  return true;
}

void TRecListForm::showFullDump() {
  const int line = selection_.current();
  if (const auto r = records_.at(size_t(line)))
    plain(QString::fromStdString(
        records::FullRecordDump(*r, line, {medium_.s_s_bgn, medium_.s_s_end})));
}

void TRecListForm::showShortDump() {
  const int line = selection_.current();
  if (const auto r = records_.at(size_t(line)))
    plain(QString::fromStdString(
        records::ShortRecordDump(*r, line, {medium_.s_s_bgn, medium_.s_s_end})));
}

void TRecListForm::writeBatteryLog() {
  const std::optional<records::TRecord> r = records_.at(size_t(selection_.current()));
  if (!r || !medium_.reader || !chooseOutputDir()) return;
  const std::string path = outputDir_ + records::BatteryLogFileName(*r);
  const records::BatteryLogResult result =
      records::WriteBatteryLog(*medium_.reader, *r, medium_.N_s_s, path);
  // The log is written without a word; only a file that cannot be written is reported.
  if (!result.opened || !result.written)
    error(QStringLiteral("Не удалось записать файл %1").arg(QString::fromStdString(path)));
}
