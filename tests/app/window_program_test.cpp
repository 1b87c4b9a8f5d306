// The program's start-up, event loop and exit code, with the operator's
// input sent from timers while the loop runs.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "../support/jpeg_fixture.h"
#include "../support/temp_tree.h"
#include "../support/workbook_reader.h"
#include "app/main_window.h"
#include "app/termination_signals.h"
#include "app/ui_dialogs.h"
#include "app/window_program.h"
#include "scripted_dialogs.h"

using namespace quillmere;
using quillmere::testing::ScriptedDialogs;

namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

app::MainWindow* ShownWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<app::MainWindow*>(widget); window && window->isVisible()) return window;
    }
    return nullptr;
}

// Runs `act` once the program's window is up; a program that does not end
// in time ends with 99.
class Operator {
public:
    explicit Operator(std::function<void(app::MainWindow&)> act) : act_(std::move(act)) {
        poll_.setInterval(10);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            app::MainWindow* window = ShownWindow();
            if (!window) return;
            poll_.stop();
            act_(*window);
        });
        poll_.start();
        watchdog_.setSingleShot(true);
        QObject::connect(&watchdog_, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        watchdog_.start(30000);
    }

private:
    std::function<void(app::MainWindow&)> act_;
    QTimer poll_;
    QTimer watchdog_;
};

}  // namespace

class WindowProgramTest : public QObject {
    Q_OBJECT

private slots:
    void escapeEndsTheProgramWithExitCodeZero() {
        QTemporaryDir documents;
        ScriptedDialogs dialogs;
        bool notesShown = false;
        Operator user([&](app::MainWindow& window) {
            notesShown = !qobject_cast<QPlainTextEdit*>(window.control("编辑框1"))->toPlainText().isEmpty();
            QWidget* scanner = window.control("扫描人编辑框");
            scanner->setFocus();
            QTest::keyClick(scanner, Qt::Key_Escape);
        });

        QCOMPARE(app::RunWindowProgram(dialogs, Services(documents.path())), app::kExitClosed);
        QVERIFY(notesShown);
        QVERIFY(dialogs.messages.empty());
    }

    void closingDuringARunEndsTheProgramOnceTheRowsAreSaved() {
        quillmere::testing::TempTree tree;
        for (const char* name : {"scan/0001.jpg", "scan/0002.jpg", "scan/0003.jpg", "scan/0004.jpg"}) {
            tree.File(name, quillmere::testing::MakeJpeg({}));
        }
        ScriptedDialogs dialogs;
        dialogs.folderAnswers.push_back(Q(tree.Path("scan")));
        bool runReturnedBeforeTheLoopEnded = false;
        Operator user([&](app::MainWindow& window) {
            auto* status = qobject_cast<QLineEdit*>(window.control("状态编辑框"));
            QObject::connect(status, &QLineEdit::textChanged, &window, [&window](const QString& text) {
                if (text != QStringLiteral("文件总数：4，正在提取第2个文件的元数据...")) return;
                QMetaObject::invokeMethod(
                    &window, [&window] { QTest::keyClick(window.control("编辑框1"), Qt::Key_Escape); },
                    Qt::QueuedConnection);
            });
            QTest::mouseClick(qobject_cast<QAbstractButton*>(window.control("选择文件夹按钮")), Qt::LeftButton);
            QTest::mouseClick(qobject_cast<QAbstractButton*>(window.control("开始提取按钮")), Qt::LeftButton);
            runReturnedBeforeTheLoopEnded = true;
        });

        QCOMPARE(app::RunWindowProgram(dialogs, Services(Q(tree.Path("out")))), app::kExitClosed);

        QVERIFY(runReturnedBeforeTheLoopEnded);
        QVERIFY(dialogs.messages.empty());
        QCOMPARE(opens, 0);  // an interrupted run hands nothing over
        const QStringList saved = QDir(Q(tree.Path("out"))).entryList({QStringLiteral("*.xlsx")}, QDir::Files);
        QCOMPARE(saved.size(), qsizetype{1});
        const auto book = quillmere::testing::ReadWorkbook(tree.Path("out/" + saved[0].toStdString()));
        QVERIFY2(book.readable, book.error.c_str());
        QCOMPARE(book.sheets.at(0).rows.size(), std::size_t{3});
        QCOMPARE(book.sheets.at(0).At(3, 9), "0002.jpg");
    }

    // A logout while the completion box waits for its OK: the box goes, the
    // program ends with 0, and the workbook, saved before the box, is not
    // handed to the desktop of a session that is ending.
    void terminationWhileTheCompletionBoxIsUpEndsTheProgram() {
        quillmere::testing::TempTree tree;
        tree.File("scan/0001.jpg", quillmere::testing::MakeJpeg({}));
        RealBoxes dialogs;
        dialogs.folder = Q(tree.Path("scan"));
        QTimer signalWhenTheBoxShows;
        signalWhenTheBoxShows.setInterval(10);
        QString boxText;
        QObject::connect(&signalWhenTheBoxShows, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            signalWhenTheBoxShows.stop();
            boxText = box->text();
            ::raise(SIGTERM);
        });
        signalWhenTheBoxShows.start();
        Operator user([&](app::MainWindow& window) {
            QTest::mouseClick(qobject_cast<QAbstractButton*>(window.control("选择文件夹按钮")), Qt::LeftButton);
            QTest::mouseClick(qobject_cast<QAbstractButton*>(window.control("开始提取按钮")), Qt::LeftButton);
        });

        QCOMPARE(app::RunWindowProgram(dialogs, Services(Q(tree.Path("out")))), app::kExitClosed);

        QVERIFY2(boxText.startsWith(QStringLiteral("提取元数据完成，本次共提取1个文件的元数据信息。\n")), qPrintable(boxText));
        QCOMPARE(opens, 0);
        const QStringList saved = QDir(Q(tree.Path("out"))).entryList({QStringLiteral("*.xlsx")}, QDir::Files);
        QCOMPARE(saved.size(), qsizetype{1});
    }

    // With no descriptor left for the pipe the handlers cannot be set up:
    // the failure is told, and SIGTERM keeps the handling it had rather
    // than being caught into a pipe nobody reads.
    void signalsThatCannotBeTakenOverKeepTheirDefaultAndSayWhy() {
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
        // Every descriptor number below the lowest free one is in use.
        const int lowestFree = dup(0);
        QVERIFY(lowestFree >= 0);
        close(lowestFree);
        rlimit tight = saved;
        tight.rlim_cur = static_cast<rlim_t>(lowestFree);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &tight), 0);
        bool installed = true;
        QString failure;
        struct sigaction before {};
        sigaction(SIGTERM, nullptr, &before);
        struct sigaction during {};
        {
            app::TerminationSignals terminations;
            installed = terminations.installed();
            failure = terminations.failure();
            sigaction(SIGTERM, nullptr, &during);
        }
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);
        QVERIFY(!installed);
        QVERIFY(!failure.isEmpty());
        QVERIFY(during.sa_handler == before.sa_handler);

        app::TerminationSignals working;
        QVERIFY(working.installed());
        QVERIFY(working.failure().isEmpty());
    }

private:
    // The real message box, modal as the program shows it; the chooser
    // answers with one folder.
    class RealBoxes final : public app::UiDialogs {
    public:
        QMessageBox::StandardButton ShowMessage(const app::MessageBoxRequest& request, QWidget* parent) override {
            return real.ShowMessage(request, parent);
        }
        QString ChooseFolder(const QString&, const QString&, QWidget*) override { return folder; }
        app::QtUiDialogs real;
        QString folder;
    };

    int opens = 0;

    app::SessionServices Services(const QString& folder) {
        app::SessionServices services;
        services.workbookFolder = folder;
        services.clock = [] { return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)); };
        services.openWorkbook = [this](const QString&) {
            ++opens;
            return true;
        };
        services.settings.pool = workflow::FixedPreparePool(2);
        return services;
    }
};

QTEST_MAIN(WindowProgramTest)
#include "window_program_test.moc"
