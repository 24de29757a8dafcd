// The command line and the running copy: a program file named alone opens as "Ouvrir..." opens
// it, in the copy already running when there is one, and nothing is left when a copy ends.

#include "ui/shell/StartUp.h"
#include "ProgramUnderTest.h"
#include "model/files/ProgramFile.h"
#include "ui/editor/TFenetreEnfant.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace driver;

namespace {

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray Program(const char* secondDelay) {
    QByteArray file = "VersionFichier ; 2\nTypeIgnivelle ; 0\nTitreListeTir ; Lac\n"
                      "NumeroSerie ; \nVersion ; \nNumVoie ; TypeVoie ; Retard ; Description\n"
                      "1 ; 0 ; 0 ; \n2 ; 0 ; " +
                      QByteArray(secondDelay) + " ; \n";
    for (int n = 3; n <= 15; ++n)
        file += QByteArray::number(n) + " ; 0 ; 0 ; \n";
    return file;
}

// A copy of the real program started with these arguments; it ends by itself when it hands
// its file over.
std::unique_ptr<QProcess> StartCopy(const QStringList& arguments) {
    auto copy = std::make_unique<QProcess>();
    copy->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    copy->start(QStringLiteral(SALVODESK_PROGRAM), arguments);
    return copy;
}

} // namespace

class StartUpTest : public QObject, ProgramUnderTest {
    Q_OBJECT
    QTemporaryDir Runtime; // where the copies' socket goes, apart from a program the user runs

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        qputenv("XDG_RUNTIME_DIR", Runtime.path().toLocal8Bit());
        QCOMPARE(InstanceName(), Runtime.filePath("salvodesk"));
    }
    void init() {
        StartProgram();
        Write(P("show.tir"), Program("1,4"));
        Write(P("show.Bak"), Program("0,6"));
        Write(P("bad.tir"), "VersionFichier ; 2\nTypeIgnivelle ; x\n");
    }
    void cleanup() { StopProgram(); }

    void onlyAnExistingFileNamedAloneIsOpened() {
        QVERIFY(QDir(Dir->path()).mkdir("dossier"));
        QDir::setCurrent(Dir->path());
        const std::pair<QStringList, QString> cases[] = {
            {{}, {}},
            {{P("show.tir")}, P("show.tir")},
            {{P("show.Bak")}, P("show.Bak")},
            {{"show.tir"}, P("show.tir")}, // made absolute for the running copy
            {{P("absent.tir")}, {}},
            {{P("show.tir"), P("show.Bak")}, {}},
            {{P("dossier")}, {}},
            {{"--help"}, {}}};
        for (const auto& [arguments, opened] : cases)
            QCOMPARE(FileToOpen(QStringList{"salvodesk"} + arguments), opened);
    }

    // The second copy hands its file to the first and ends; the first opens it with the checks
    // and boxes of "Ouvrir...".
    void aFileHandedToTheRunningCopyOpensAsOpenDoes() {
        RunningCopy running(*Form);
        QVERIFY(running.Listen(InstanceName()));
        struct Case {
            const char* file;
            int windows;
            const char* delay;
            QStringList boxes;
        };
        const Case cases[] = {
            {"show.tir", 1, "1,4", {}},
            {"show.Bak", 2, "0,6", {}},
            {"bad.tir", 2, "0,6", {QString::fromUtf8(salvo::MsgInvalidFileData)}}};
        for (const Case& c : cases) {
            Boxes->Seen.clear();
            auto copy = StartCopy({P(c.file)});
            QTRY_COMPARE_WITH_TIMEOUT(copy->state(), QProcess::NotRunning, 20000);
            QCOMPARE(copy->exitStatus(), QProcess::NormalExit);
            QCOMPARE(copy->exitCode(), 0);
            QTRY_COMPARE(Boxes->Texts(), c.boxes);
            QTRY_COMPARE(Form->Editors().size(), c.windows);
            TFenetreEnfant* e = Form->Editors().constLast();
            QCOMPARE(e->windowTitle(), QStringLiteral("show"));
            QCOMPARE(e->CellText(2, 2), QString::fromUtf8(c.delay));
            QVERIFY(!e->Modified());
        }
        QCOMPARE(Form->Editors().constFirst()->FileName(), P("show.tir"));
        QCOMPARE(Form->Editors().constLast()->FileName(), P("show.Bak"));

        // One copy listens at a time.
        RunningCopy second(*Form);
        QVERIFY(!second.Listen(InstanceName()));
    }

    // Copies started together, as when several files are opened at once, end in one: the
    // later waits for the first to listen and hands it its file.
    void copiesStartedTogetherEndInOne() {
        std::unique_ptr<QProcess> copies[] = {StartCopy({P("show.tir")}),
                                              StartCopy({P("show.Bak")})};
        auto ended = [&] {
            return int(copies[0]->state() == QProcess::NotRunning) +
                   int(copies[1]->state() == QProcess::NotRunning);
        };
        QTRY_VERIFY_WITH_TIMEOUT(ended() > 0, 20000);
        QTest::qWait(500);
        QCOMPARE(ended(), 1);
        QProcess& handed = *copies[copies[0]->state() == QProcess::NotRunning ? 0 : 1];
        QProcess& running = *copies[copies[0]->state() == QProcess::NotRunning ? 1 : 0];
        QCOMPARE(handed.exitStatus(), QProcess::NormalExit);
        QCOMPARE(handed.exitCode(), 0);
        QVERIFY(HandToRunningCopy(InstanceName(), P("show.tir")));
        QVERIFY(!QFileInfo::exists(InstanceName() + ".lock"));
        running.kill();
        QVERIFY(running.waitForFinished(10000));
    }

    // A copy that crashed leaves its socket; the next copy takes the name over, and a copy
    // that ends takes its socket with it.
    void aCrashedCopyDoesNotBlockTheNext() {
        auto crashed = StartCopy({});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(InstanceName()), 20000);
        crashed->kill();
        QVERIFY(crashed->waitForFinished(10000));
        QVERIFY(QFileInfo::exists(InstanceName()));
        {
            RunningCopy running(*Form);
            QVERIFY(running.Listen(InstanceName()));
            auto copy = StartCopy({P("show.tir")});
            QTRY_COMPARE_WITH_TIMEOUT(copy->state(), QProcess::NotRunning, 20000);
            QCOMPARE(copy->exitCode(), 0);
            QTRY_COMPARE(Form->Editors().size(), 1);
        }
        QVERIFY(!QFileInfo::exists(InstanceName()));
        QCOMPARE(
            QDir(Runtime.path())
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }
};

QTEST_MAIN(StartUpTest)
#include "StartUpTest.moc"
