// SIGTERM, SIGHUP and SIGINT to a running window program act as closing its window:
// mid-run the rows written so far are saved under the workbook's own name
// and the program exits 0; idle, it just exits 0. The program runs as its
// own process under the offscreen platform, signalled from here.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

#include <string>

#include "../support/temp_tree.h"
#include "../support/workbook_reader.h"

namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

class WindowSignalTest : public QObject {
    Q_OBJECT

private slots:
    void signalMidRunSavesTheRowsSoFar_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGINT") << SIGINT;
    }

    void signalMidRunSavesTheRowsSoFar() {
        QFETCH(int, signal);
        quillmere::testing::TempTree tree;
        for (int i = 1; i <= 40; ++i) tree.File("scan/" + std::to_string(1000 + i) + ".txt", "x");
        tree.Directory("home");
        QProcess program;
        StartDriver(program, tree.Path("home"), {Q(tree.Path("scan"))});

        QVERIFY(WaitForLine(program, "writing"));
        ::kill(static_cast<pid_t>(program.processId()), signal);
        QVERIFY(program.waitForFinished(30000));

        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(!program.readAllStandardOutput().contains("opened"));
        const QString folder = Q(tree.Path("home/Documents/Quillmere"));
        const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left.size(), qsizetype{1});  // the workbook, no temporary file beside it
        QVERIFY2(left[0].startsWith(QStringLiteral("scan-元数据-")) && left[0].endsWith(QStringLiteral(".xlsx")),
                 qPrintable(left[0]));
        const auto book = quillmere::testing::ReadWorkbook((folder + QLatin1Char('/') + left[0]).toStdString());
        QVERIFY2(book.readable, book.error.c_str());
        const auto& sheet = book.sheets.at(0);
        QCOMPARE(sheet.rows.size(), std::size_t{4});  // the header and the three files begun
        QCOMPARE(sheet.At(4, 9), "1003.txt");
    }

    void signalWhileIdleEndsTheProgram() {
        quillmere::testing::TempTree tree;
        tree.Directory("scan");
        tree.Directory("home");
        QProcess program;
        StartDriver(program, tree.Path("home"), {Q(tree.Path("scan")), QStringLiteral("idle")});

        QVERIFY(WaitForLine(program, "idle"));
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(30000));

        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(!QDir(Q(tree.Path("home/Documents/Quillmere"))).exists());
    }

private:
    static void StartDriver(QProcess& program, const std::string& home, const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), Q(home));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Q(home + "/.config"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::SeparateChannels);
        program.start(QStringLiteral(QUILLMERE_WINDOW_DRIVER), arguments);
    }

    static bool WaitForLine(QProcess& program, const char* line) {
        QByteArray seen;
        while (program.waitForReadyRead(30000)) {
            seen += program.readAllStandardOutput();
            if (seen.contains(QByteArray(line) + '\n')) return true;
        }
        qWarning("driver said: %s / %s", seen.constData(), program.readAllStandardError().constData());
        return false;
    }
};

QTEST_MAIN(WindowSignalTest)
#include "window_signal_test.moc"
