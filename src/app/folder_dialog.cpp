#include "app/folder_dialog.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

namespace app {

std::unique_ptr<QFileDialog> BuildFolderDialog(QWidget* parent, const QString& start) {
  auto dialog = std::make_unique<QFileDialog>(parent, QStringLiteral("Выберите папку для записей"));
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setOption(QFileDialog::ShowDirsOnly, true);
  // Not read-only: the dialog's "new folder" button stays available.
  dialog->setOption(QFileDialog::ReadOnly, false);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setDirectory(start.isEmpty() ? QDir::homePath() : start);
  return dialog;
}

QString ChooseFolder(QWidget* parent, const QString& start) {
  const std::unique_ptr<QFileDialog> dialog = BuildFolderDialog(parent, start);
  if (dialog->exec() != QDialog::Accepted) return QString();
  const QStringList chosen = dialog->selectedFiles();
  return chosen.isEmpty() ? QString() : chosen.first();
}

bool OpenFolderInFileManager(const QString& folder) {
  if (!QFileInfo(folder).isDir()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace app
