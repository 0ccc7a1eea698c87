#include "app/korvan_application.h"

#include <exception>

#include "app/message_boxes.h"

namespace app {

KorvanApplication::KorvanApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool KorvanApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowError(activeWindow(), QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ShowError(activeWindow(), QStringLiteral("Unknown exception"));
  }
  return false;
}

}  // namespace app
