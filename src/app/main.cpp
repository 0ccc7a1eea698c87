// korvan: the desktop program.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel placeholder("Korvan");
  placeholder.show();
  return app.exec();
}
