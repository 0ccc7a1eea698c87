// The record list window's context menu item "Полный поиск записей": lists the recordings
// again with the thorough scan, which reads every block's information sector and so also
// finds recordings shorter than a probe step between two gaps.
#include <QAction>
#include <QListWidget>
#include <QTimer>

#include "app/reclist_form.h"

void TRecListForm::buildFullScanAction() {
  auto* action = new QAction(QStringLiteral("Полный поиск записей"), CheckListBox1);
  action->setObjectName(QStringLiteral("actFullScan"));
  CheckListBox1->addAction(action);
  CheckListBox1->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(action, &QAction::triggered, this, &TRecListForm::FullScanClick);
}

void TRecListForm::FullScanClick() {
  // The queue refers to list lines: the list is not rebuilt under a running conversion.
  if (converting() || !medium_.reader) return;
  Timer2->stop();
  ++scanGeneration_;    // lines the stopped scan still posts are dropped
  scanWorker_.reset();  // asks it to terminate and joins
  scanMode_ = records::ScanMode::thorough;
  resetList();
  startScan();
}
