// The application as a whole: errors escaping a command, links of the about box, the user's
// guide, and a normal session leaving nothing behind in the user's home folder.

#include "Boxes.h"
#include "Driver.h"
#include "ui/common/UserGuide.h"
#include "ui/dialogs/BoiteAPropos.h"
#include "ui/dialogs/TConfigurationPort.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/Application.h"
#include "ui/shell/Main.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <stdexcept>

using namespace driver;

namespace {
QTemporaryDir* Home = nullptr;

QStringList FilesUnder(const QString& root) {
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(root).relativeFilePath(it.next());
    return found;
}

class Thrower : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw std::runtime_error("Plus de place sur le disque");
        return QObject::event(e);
    }
};
} // namespace

class AppTest : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;

public slots:
    void OpenUrl(const QUrl& url) { Opened << url; }

private slots:
    void anErrorEscapingACommandIsShownAndTheProgramGoesOn() {
        BoxAnswers boxes;
        Thrower thrower;
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCOMPARE(boxes.Texts(), QStringList({"Plus de place sur le disque"}));
        QCOMPARE(boxes.Seen[0].Caption, QStringLiteral("Programmation Ignivelle"));
        QCOMPARE(boxes.Seen[0].Buttons,
                 std::vector<salvo::ui::BoxButton>{salvo::ui::BoxButton::Ok});
        // The loop still delivers events.
        bool later = false;
        QTimer::singleShot(0, [&later] { later = true; });
        QTRY_VERIFY(later);
    }

    void aboutBoxLinksOpenWithTheSystemsPrograms() {
        QDesktopServices::setUrlHandler("https", this, "OpenUrl");
        QDesktopServices::setUrlHandler("mailto", this, "OpenUrl");
        TMainForm form;
        QTest::mouseClick(form.AboutBox->findChild<QLabel*>("LabelNomSite"), Qt::LeftButton);
        QTest::mouseClick(form.AboutBox->findChild<QLabel*>("LabelMail"), Qt::LeftButton);
        QCOMPARE(Opened.size(), 2);
        QCOMPARE(Opened[0].scheme(), QStringLiteral("https"));
        QCOMPARE(Opened[1].scheme(), QStringLiteral("mailto"));
        QVERIFY(form.AboutBox->findChild<QLabel*>("LabelMail")->text().endsWith(Opened[1].path()));
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("mailto");
    }

    void theGuideOpensFromTheHelpMenuWithTheSystemsBrowser() {
        Opened.clear();
        QDesktopServices::setUrlHandler("file", this, "OpenUrl");
        TMainForm form;
        auto* guide = form.findChild<QAction*>("HelpGuide");
        QCOMPARE(guide->text(), QStringLiteral("&Guide de l'utilisateur"));
        QCOMPARE(guide->statusTip(), QStringLiteral("Ouvrir le guide de l'utilisateur"));
        QVERIFY(guide->isEnabled()); // no document open
        QList<QAction*> items = form.findChild<QMenu*>("HelpMenu")->actions();
        QCOMPARE(items.indexOf(guide) + 1, items.indexOf(form.findChild<QAction*>("HelpAbout")));
        guide->trigger();
        QDesktopServices::unsetUrlHandler("file");
        // Run from the build folder: the source tree's copy.
        QCOMPARE(Opened.size(), 1);
        QVERIFY(Opened[0].isLocalFile());
        QCOMPARE(Opened[0].toLocalFile(),
                 QFileInfo(QStringLiteral(SALVODESK_SOURCE_DIR "/docs/guide/index.html"))
                     .canonicalFilePath());
    }

    void anInstalledGuideComesBeforeTheSourceTreesCopy() {
        QTemporaryDir prefix;
        QVERIFY(QDir(prefix.path()).mkpath("bin") &&
                QDir(prefix.path()).mkpath("share/doc/salvodesk/guide"));
        QString installed = prefix.filePath("share/doc/salvodesk/guide/index.html");
        QFile page(installed);
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        QCOMPARE(salvo::ui::UserGuidePath(prefix.filePath("bin")),
                 QFileInfo(installed).canonicalFilePath());
    }

    void aNormalSessionWritesNothingUnderHome() {
        {
            TMainForm form;
            ShowActive(form);
            BoxAnswers boxes;
            Trigger(form, "FileNew");
            TFenetreEnfant* e = form.ActiveEditor();
            e->SetTitle(QStringLiteral("Essai"));
            e->ApplyChannelTime(1, 2.0);
            form.PortDialog->show(); // the dialogs come and go
            form.PortDialog->hide();
            boxes.Queue({"&Non"});
            Trigger(form, "FileExit");
            QTRY_VERIFY(!form.isVisible());
        }
        QCoreApplication::processEvents();
        QCOMPARE(FilesUnder(Home->path()), QStringList());
    }
};

int main(int argc, char** argv) {
    // A home of its own, before anything reads where home is.
    QTemporaryDir home(QDir::tempPath() + "/salvodesk-home-XXXXXX");
    Home = &home;
    setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    for (const char* v : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        unsetenv(v);
    TApplication app(argc, argv);
    AppTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AppTest.moc"
