// korvan: the desktop program. Creates every window once, shows the main window and runs the
// one event loop. `korvan MEDIUM` opens the card operations window for a card image folder,
// an image file or a device directly.
#include <QStringList>

#include "app/app_windows.h"
#include "app/gui_notice_sink.h"
#include "app/korvan_application.h"
#include "app/removable_drives_select_form.h"

int main(int argc, char** argv) {
  app::KorvanApplication application(argc, argv);
  // The program ends when the main window closes, not when its last visible window does
  // (the main window hides while the card operations window is shown).
  application.setQuitOnLastWindowClosed(false);
  app::GuiNoticeSink notices;
  app::CreateWindows(notices);
  const QStringList args = application.arguments().mid(1);
  if (!args.isEmpty()) app::Windows().main->setStartMedium(args.last());
  app::Windows().main->show();
  const int status = application.exec();
  app::DestroyWindows();
  return status;
}
