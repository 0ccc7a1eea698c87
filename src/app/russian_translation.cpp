#include "app/russian_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace app {

bool InstallRussianTranslation(QCoreApplication& application, const char* folder) {
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  const QString path =
      folder ? QString::fromLocal8Bit(folder) : QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  // Owned by the application: it must live as long as any dialog may ask for a text.
  auto* translator = new QTranslator(&application);
  if (!translator->load(QStringLiteral("qtbase_ru"), path)) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace app
