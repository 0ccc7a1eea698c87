#include "app/screenshot_tour.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <cstdio>

#include "app/app_windows.h"
#include "app/block_list_form.h"
#include "app/card_op_form.h"
#include "app/folder_dialog.h"
#include "app/message_boxes.h"
#include "app/removable_drives_select_form.h"
#include "app/ss_list_form.h"
#include "app/reclist_form.h"
#include "app/rec_preview_form.h"

namespace app {

ScreenshotTour::ScreenshotTour(QString folder, QString medium, QStringList drives,
                               QObject* parent)
    : QObject(parent),
      folder_(std::move(folder)),
      medium_(std::move(medium)),
      drives_(std::move(drives)) {}

void ScreenshotTour::later(int ms, std::function<void()> step) {
  QTimer::singleShot(ms, this, std::move(step));
}

void ScreenshotTour::save(QWidget* w, const QString& name) {
  const QString path = QDir(folder_).filePath(name);
  const bool saved = w && w->isVisible() && w->grab().save(path);
  std::fprintf(stderr, "%s %s\n", saved ? "saved" : "NOT saved", qPrintable(path));
  ok_ = ok_ && saved;
}

void ScreenshotTour::start() {
  QDir().mkpath(folder_);
  AppWindows& w = Windows();
  if (!drives_.isEmpty()) {
    w.main->poll().autoOpen = false;
    w.main->setDriveSource([drives = drives_] {
      std::vector<card::DriveCandidate> list;
      for (const QString& d : drives) list.push_back({d.toStdString(), ""});
      return list;
    });
  }
  later(1500, [this, &w] {
    w.main->ListBox1->setCurrentRow(0);
    save(w.main.get(), QStringLiteral("main.png"));
    later(1000, [this, &w] {
      save(w.cardOp.get(), QStringLiteral("card_operations.png"));
      later(500, [this, &w] {
        w.ssList->Button1Click();
        save(w.ssList.get(), QStringLiteral("service_list.png"));
        w.ssList->accept();
      });
      // The list's own key needs the focused, enabled mode button, which an image lacks.
      card::CardMedium& m = w.cardOp->medium();
      w.ssList->openFor(m.regionReader().get(), m.N_s_s, m.s_s_bgn, m.s_s_end);
      if (w.cardOp->Button3->isEnabled()) {
        later(300, [this] { pollScan(100); });
        w.cardOp->Button3Click();
      }
      w.cardOp->Button4Click();
    });
    w.main->OpenMediumPath(medium_);
    if (!drives_.isEmpty()) {  // the first stand-in drive: an empty volume, ready for marking
      later(1000, [this, &w] {
        save(w.cardOp.get(), QStringLiteral("card_operations_empty.png"));
        w.cardOp->Button4Click();
      });
      w.main->OpenMediumPath(drives_.first());
    }
    w.main->close();
  });
}

void ScreenshotTour::pollScan(int remainingTicks) {
  AppWindows& w = Windows();
  TRecListForm& list = *w.recList;
  if (list.scanRunning() && remainingTicks > 0) {
    later(200, [this, remainingTicks] { pollScan(remainingTicks - 1); });
    return;
  }
  later(300, [this, &w, &list] {
    save(&list, QStringLiteral("record_list.png"));
    const records::RecListMedium& m = list.medium();
    if (m.reader && !list.records().empty()) {
      const std::optional<records::TRecord> first = list.records().at(0);
      w.blockList->openFor(*m.reader, m.N_s_s, first ? &*first : nullptr, &list);
      later(300, [this, &w, &list] {
        save(w.blockList.get(), QStringLiteral("block_list.png"));
        w.blockList->close();
        saveDialogs(&list);
        previewTour(list);
      });
      return;
    }
    list.reject();
  });
}

void ScreenshotTour::saveDialogs(QWidget* owner) {
  const auto box = BuildMessageBox(owner, BoxKind::information,
                                   QStringLiteral("Готово! Открыть папку с записями?"), true,
                                   DefaultAnswer::yes);
  box->show();
  save(box.get(), QStringLiteral("question.png"));
  box->close();
  const auto dialog = BuildFolderDialog(owner, QDir::tempPath());
  dialog->show();
  save(dialog.get(), QStringLiteral("folder_dialog.png"));
  dialog->reject();
}

// The preview of the first recording a little way in, then its dark-region map (Ctrl+O on
// the slider), then back to the record list, which closes.
void ScreenshotTour::previewTour(TRecListForm& list) {
  AppWindows& w = Windows();
  if (!w.recPreview) {
    list.reject();
    return;
  }
  list.conversionRequest().convRecord = 0;
  w.recPreview->showFor(list);
  if (auto* slider = w.recPreview->findChild<QSlider*>(QStringLiteral("TrackBar1")))
    slider->setValue(std::min(slider->maximum(), 3));
  later(800, [this, &w, &list] {
    save(w.recPreview.get(), QStringLiteral("preview.png"));
    if (auto* slider = w.recPreview->findChild<QSlider*>(QStringLiteral("TrackBar1"))) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier);
      QCoreApplication::sendEvent(slider, &press);
    }
    later(300, [this, &w, &list] {
      save(w.recPreview.get(), QStringLiteral("dark_region_map.png"));
      w.recPreview->close();
      list.reject();
    });
  });
}

}  // namespace app
