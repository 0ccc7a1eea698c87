// Puts Qt's own Russian translation in place, so that the toolkit's texts (message-box
// buttons, file and folder dialogs, context menus) read in Russian like the program's own.
// Called once by main() on the UI thread after the application object exists.
#pragma once

class QCoreApplication;

namespace app {

// Installs qtbase_ru from Qt's translations folder (or `folder` when given) and makes Russian
// the default locale. False when the translation file is missing: the toolkit then stays in
// English and the program works on.
bool InstallRussianTranslation(QCoreApplication& application, const char* folder = nullptr);

}  // namespace app
