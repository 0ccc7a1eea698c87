// The second line of "Произошла ошибка при конвертации: CODE": what the code means and the
// output folder it concerns, so that the user can act on a bare number. UI thread only.
#pragma once

#include <QString>

namespace app {

// "Папка: DIR" preceded by the code's meaning when it is one of the worker's, the stream
// reader's or the muxer's own codes.
QString ConversionErrorDetail(int code, const QString& outputDir);

}  // namespace app
