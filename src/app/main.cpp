// korvan: the desktop program. Creates every window once, shows the main window and runs the
// one event loop. `korvan MEDIUM` opens the card operations window for a card image folder,
// an image file or a device directly; `korvan --screenshot DIR MEDIUM [VOLUME...]` saves a
// picture of each window on that medium into DIR and ends.
#include <QStringList>
#include <memory>

#include "app/app_icon.h"
#include "app/app_windows.h"
#include "app/gui_notice_sink.h"
#include "app/korvan_application.h"
#include "app/removable_drives_select_form.h"
#include "app/russian_translation.h"
#include "app/screenshot_tour.h"
#include "app/udisks_device_access.h"

int main(int argc, char** argv) {
  app::KorvanApplication application(argc, argv);
  app::InstallRussianTranslation(application);
  application.setWindowIcon(app::AppIcon());
  application.setDesktopFileName(QStringLiteral("korvan"));
  // The program ends when the main window closes, not when its last visible window does
  // (the main window hides while the card operations window is shown).
  application.setQuitOnLastWindowClosed(false);
  // Devices an ordinary user may not open are opened through the desktop's disk service.
  app::UDisksDeviceAccess udisks;
  platform::SetDeviceAccessBroker(&udisks);
  app::GuiNoticeSink notices;
  app::CreateWindows(notices);
  const QStringList args = application.arguments().mid(1);
  std::unique_ptr<app::ScreenshotTour> tour;
  if (args.size() >= 3 && args[0] == QStringLiteral("--screenshot")) {
    tour = std::make_unique<app::ScreenshotTour>(args[1], args[2], args.mid(3));
    tour->start();
  } else if (!args.isEmpty()) {
    app::Windows().main->setStartMedium(args.last());
  }
  app::Windows().main->show();
  int status = application.exec();
  if (tour && !tour->ok()) status = 1;
  app::DestroyWindows();
  platform::SetDeviceAccessBroker(nullptr);
  return status;
}
