// The application object: QApplication whose event delivery catches any exception that
// escapes an event handler, shows it in an error box and lets the event loop go on.
// Created once by main() on the UI thread.
#pragma once

#include <QApplication>

namespace app {

class KorvanApplication final : public QApplication {
 public:
  KorvanApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace app
