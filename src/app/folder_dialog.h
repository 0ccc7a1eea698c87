// The output-folder choice: a folder-only dialog that starts at the given folder (or the
// user's home when it is empty) and lets the user make a new folder in place. UI thread only.
#pragma once

#include <QString>
#include <memory>

class QFileDialog;
class QWidget;

namespace app {

// The dialog, set up but not shown (tests look at it).
std::unique_ptr<QFileDialog> BuildFolderDialog(QWidget* parent, const QString& start);

// Shows the dialog modally; the chosen folder, or empty when the user cancelled.
QString ChooseFolder(QWidget* parent, const QString& start);

// Opens `folder` in the desktop's file manager; false when the desktop could not do that.
bool OpenFolderInFileManager(const QString& folder);

}  // namespace app
