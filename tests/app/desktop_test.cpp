// The program on a Linux desktop: the toolkit's own texts in Russian, the Yes default of a
// question whose natural answer is Yes, an output-folder dialog that makes folders, service
// windows kept on the screen, and notices with the path and the system's reason.
#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QToolButton>
#include <cerrno>

#include "app/block_list_form.h"
#include "app/folder_dialog.h"
#include "app/message_boxes.h"
#include "app/russian_translation.h"
#include "card/card_medium.h"
#include "support/memory_region.h"
#include "support/temp_dir.h"

namespace {

struct DetailLog final : platform::NoticeSink {
  std::vector<std::string> texts;
  void notice(platform::NoticeKind, const std::string& text) override { texts.push_back(text); }
  void notice(platform::NoticeKind, const std::string& text, const std::string& detail) override {
    texts.push_back(text + "\n" + detail);
  }
};

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT

 private:
  testsupport::TempDir dir_;

 private slots:
  void initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir_ / "settings"));
    if (!app::InstallRussianTranslation(*QCoreApplication::instance()))
      QSKIP("Qt's Russian translation (qt6-translations-l10n) is not installed");
  }

  void messageBoxButtonsReadInRussian() {
    const auto question = app::BuildMessageBox(nullptr, app::BoxKind::warning,
                                               QStringLiteral("Удалить?"), true);
    QCOMPARE(question->button(QMessageBox::Yes)->text().remove(QLatin1Char('&')),
             QStringLiteral("Да"));
    QCOMPARE(question->button(QMessageBox::No)->text().remove(QLatin1Char('&')),
             QStringLiteral("Нет"));
    // Risky questions keep No as the default.
    QCOMPARE(question->defaultButton(), question->button(QMessageBox::No));
    const auto done = app::BuildMessageBox(nullptr, app::BoxKind::information,
                                           QStringLiteral("Готово! Открыть папку с записями?"),
                                           true, app::DefaultAnswer::yes);
    QCOMPARE(done->defaultButton(), done->button(QMessageBox::Yes));
    const auto ok = app::BuildMessageBox(nullptr, app::BoxKind::information,
                                         QStringLiteral("Записей нет."), false);
    QVERIFY(ok->button(QMessageBox::Ok));
    QVERIFY(!ok->button(QMessageBox::Yes));
  }

  void folderDialogStartsAtTheFolderAndMakesNewOnes() {
    const QString start = QString::fromStdString(dir_.path().string());
    const auto dialog = app::BuildFolderDialog(nullptr, start);
    QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
    QVERIFY(dialog->testOption(QFileDialog::ShowDirsOnly));
    QVERIFY(!dialog->testOption(QFileDialog::ReadOnly));
    QCOMPARE(QDir(dialog->directory()).absolutePath(), QDir(start).absolutePath());
    dialog->show();
    auto* newFolder = dialog->findChild<QToolButton*>(QStringLiteral("newFolderButton"));
    QVERIFY(newFolder);
    QVERIFY(newFolder->isEnabled());
    // The dialog's own texts are translated too.
    auto* choose = dialog->findChild<QDialogButtonBox*>();
    QVERIFY(choose);
    QCOMPARE(choose->button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')),
             QStringLiteral("Отмена"));
    dialog->reject();
    QVERIFY(app::BuildFolderDialog(nullptr, QString())->directory().absolutePath() ==
            QDir::homePath());
  }

  void blockListOpensWhollyOnTheScreen() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget owner;
    owner.resize(200, 150);
    owner.show();
    owner.move(screen.right() - 210, screen.bottom() - 160);  // owner in the corner
    testsupport::MemoryRegion region(256);
    app::TBlockListForm list;
    list.openFor(region, 1, nullptr, &owner);
    QVERIFY(list.isVisible());
    QVERIFY(screen.contains(list.frameGeometry()));
  }

  void notTheBareCannotOpen() {
    DetailLog log;
    card::CardMedium m(log);
    QVERIFY(!m.OpenMedium(dir_ / "missing.img"));
    QCOMPARE(log.texts.size(), size_t(1));
    QCOMPARE(QString::fromStdString(log.texts[0]),
             QStringLiteral("Невозможно открыть сменный носитель\n%1: No such file or directory")
                 .arg(QString::fromStdString(dir_ / "missing.img")));
    QCOMPARE(platform::SystemReason("/dev/sdz1", EACCES),
             std::string("/dev/sdz1: Permission denied (run as root or join the disk group)"));
  }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
