#include "app/conversion_error_text.h"

#include "convert/conversion_errors.h"
#include "convert/mp4_muxer.h"
#include "convert/stream_reader.h"

namespace app {

namespace {

QString Meaning(int code) {
  switch (code) {
    case -1: return QStringLiteral("Конвертацию не удалось запустить.");
    case convert::kErrNoPartitionFiles:
    case convert::kErrNoPartitionFile: return QStringLiteral("Не открывается файл записей карты.");
    case convert::kErrBeyondFile:
    case convert::kErrShortRead:
    case convert::kErrInfoRead: return QStringLiteral("Не читается сектор карты.");
    case convert::kErrNoKeyFrame:
    case convert::kErrRereadKeyFrame:
    case convert::kErrStepBack: return QStringLiteral("В записи не найден ключевой кадр.");
    case convert::kErrConfigSize: return QStringLiteral("Запись повреждена.");
    case convert::kErrWriteBox:
    case convert::kMuxCannotCreateOutput:
    case convert::kMuxWriteFailed:
      return QStringLiteral("Не удаётся записать файл: нет прав на папку или диск заполнен.");
    case convert::kErrPathTooLong: return QStringLiteral("Слишком длинный путь к файлу.");
    default: break;
  }
  if (code > convert::kMuxOk && code <= convert::kMuxInternalError)
    return QStringLiteral("Не удалось собрать файл .mp4.");
  return QString();
}

}  // namespace

QString ConversionErrorDetail(int code, const QString& outputDir) {
  const QString folder = QStringLiteral("Папка: %1").arg(outputDir);
  const QString meaning = Meaning(code);
  return meaning.isEmpty() ? folder : meaning + QLatin1Char(' ') + folder;
}

}  // namespace app
