// The window while a large workbook is saved: its event loop keeps turning
// (timers fire, the window repaints), a second start is turned away, a close
// waits for the save and then ends the program, and the workbook comes out
// whole. The workbook is the real .xlsx writer, holding 200,000 rows of the
// kind a day's scanning gives before the run adds its own.

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <signal.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../support/command_output.h"
#include "../support/jpeg_fixture.h"
#include "../support/temp_tree.h"
#include "app/main_window.h"
#include "app/window_program.h"
#include "runtime/text_encoding.h"
#include "scripted_dialogs.h"
#include "sheet/xlsx_row_workbook.h"

using namespace quillmere;
using quillmere::testing::ScriptedDialogs;

namespace {

constexpr int kRowsBeforeTheRun = 200000;

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

std::string ScanName(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "WS·2015-%06d", number);
    return name;
}

// One file's row as a run writes it: the batch facts, the file's own facts.
std::vector<Text> ScannedRow(int number) {
    const std::string stem = ScanName(number);
    const std::vector<std::string> cells = {stem,
                                            "张晓明",
                                            "富士通",
                                            "fi-7460",
                                            "2015-03-" + std::to_string(1 + number % 28) + " 14:05:09",
                                            "李建国",
                                            "档案数字化加工系统 V3.2",
                                            "JPEG",
                                            stem + ".jpg",
                                            std::to_string(1200000 + number * 37 % 900000),
                                            "图像",
                                            "300",
                                            "真彩色",
                                            std::to_string(80 + number % 16) + "%"};
    std::vector<Text> row;
    for (const std::string& cell : cells) row.push_back(TextFromUtf8(cell));
    return row;
}

// What the test sees of the save: whether it is going on, and how often the
// window's loop turned meanwhile. Written by the saving thread (committing)
// and the loop's thread (the counts).
struct SaveWatch {
    std::atomic<bool> committing{false};
    std::atomic<bool> committed{false};
    int ticksDuringSave = 0;
    int paintsDuringSave = 0;
};

// The real workbook, passed through; only the commit is watched.
class WatchedWorkbook final : public sheet::RowWorkbook {
public:
    WatchedWorkbook(std::unique_ptr<sheet::RowWorkbook> workbook, SaveWatch& watch)
        : workbook_(std::move(workbook)), watch_(watch) {}
    const std::string& Path() const override { return workbook_->Path(); }
    std::optional<sheet::WorkbookFailure> AppendRow(std::span<const Text> cells) override {
        return workbook_->AppendRow(cells);
    }
    std::optional<sheet::WorkbookFailure> Commit() override {
        watch_.committing = true;
        auto failure = workbook_->Commit();
        watch_.committing = false;
        watch_.committed = true;
        return failure;
    }
    void Discard() override { workbook_->Discard(); }
    std::optional<sheet::WorkbookFailure> StartSheet(const std::string& name, std::span<const Text> header) override {
        return workbook_->StartSheet(name, header);
    }
    std::optional<sheet::WorkbookFailure> AddCompanionFile(std::string_view extension, std::string contents) override {
        return workbook_->AddCompanionFile(extension, std::move(contents));
    }

private:
    std::unique_ptr<sheet::RowWorkbook> workbook_;
    SaveWatch& watch_;
};

// A real .xlsx workbook at path that already holds kRowsBeforeTheRun rows
// when the run gets it.
class LargeWorkbookMaker final : public sheet::WorkbookMaker {
public:
    LargeWorkbookMaker(std::string path, SaveWatch& watch) : path_(std::move(path)), watch_(watch) {}

    sheet::CreatedWorkbook Create(const sheet::WorkbookLayout& layout) override {
        ++creates;
        sheet::CreatedWorkbook created = sheet::XlsxRowWorkbook::Create(path_, layout);
        if (!created.workbook) return created;
        for (int number = 1; number <= kRowsBeforeTheRun; ++number) {
            if (auto failure = created.workbook->AppendRow(ScannedRow(number))) return {nullptr, *failure};
        }
        return {std::make_unique<WatchedWorkbook>(std::move(created.workbook), watch_), {}};
    }

    int creates = 0;

private:
    std::string path_;
    SaveWatch& watch_;
};

// Reads the saved workbook with Python's own zip and XML readers: every
// entry's CRC, the first sheet's rows 1, 2, … in order, fourteen cells each,
// column I of each row. Prints the row count, then the rows whose column I
// is not the expected one (at most five), then "ok".
constexpr const char* kSheetCheck = R"PY(
import sys, zipfile, xml.etree.ElementTree as ET
ns = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'
expected_rows, last_name = int(sys.argv[2]), sys.argv[3]
with zipfile.ZipFile(sys.argv[1]) as book:
    bad = book.testzip()
    if bad: sys.exit('bad entry ' + bad)
    count, wrong = 0, []
    with book.open('xl/worksheets/sheet1.xml') as sheet:
        for _, element in ET.iterparse(sheet):
            if element.tag != ns + 'row': continue
            count += 1
            if element.get('r') != str(count): sys.exit('row %d numbered %s' % (count, element.get('r')))
            cells = element.findall(ns + 'c')
            if len(cells) != 14: sys.exit('row %d has %d cells' % (count, len(cells)))
            name = ''.join(cells[8].itertext())
            if count == 1: want = '计算机文件名'
            elif count <= expected_rows + 1: want = 'WS\u00b72015-%06d.jpg' % (count - 1)
            else: want = last_name
            if name != want and len(wrong) < 5: wrong.append('%d:%s' % (count, name))
            element.clear()
print(count)
for w in wrong: print(w)
print('ok')
)PY";

}  // namespace

class WindowSaveTest : public QObject {
    Q_OBJECT

private slots:
    void theWindowKeepsTurningWhileALargeWorkbookIsSaved_data() {
        QTest::addColumn<QString>("closeDuringSave");
        QTest::newRow("left alone") << QString();
        QTest::newRow("Escape") << QStringLiteral("Escape");
        QTest::newRow("SIGTERM") << QStringLiteral("SIGTERM");
    }

    void theWindowKeepsTurningWhileALargeWorkbookIsSaved() {
        QFETCH(QString, closeDuringSave);
        quillmere::testing::TempTree tree;
        tree.File("scan/0001.jpg", quillmere::testing::MakeJpeg({}));
        tree.Directory("out");
        const std::string saved = tree.Path("out/一天的扫描.xlsx");
        SaveWatch watch;
        LargeWorkbookMaker maker(saved, watch);
        ScriptedDialogs dialogs;
        dialogs.folderAnswers.push_back(Q(tree.Path("scan")));
        int opens = 0;
        bool closeAsked = false;
        bool secondStartAsked = false;

        app::MainWindow* shown = nullptr;
        // Counts the window's paints while the save goes on.
        struct PaintCounter : QObject {
            std::function<void()> onPaint;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Paint) onPaint();
                return false;
            }
        } paints;
        paints.onPaint = [&] {
            if (watch.committing) ++watch.paintsDuringSave;
        };
        // A timer due every millisecond fires on each turn of the loop.
        QTimer turns;
        turns.setInterval(1);
        turns.setTimerType(Qt::PreciseTimer);
        QObject::connect(&turns, &QTimer::timeout, [&] {
            if (!shown) {
                for (QWidget* widget : QApplication::topLevelWidgets()) {
                    if (auto* window = qobject_cast<app::MainWindow*>(widget); window && window->isVisible()) {
                        shown = window;
                    }
                }
                if (!shown) return;
                shown->control("状态编辑框")->installEventFilter(&paints);
                QMetaObject::invokeMethod(
                    shown,
                    [&shown] {
                        QTest::mouseClick(qobject_cast<QAbstractButton*>(shown->control("选择文件夹按钮")),
                                          Qt::LeftButton);
                        QTest::mouseClick(qobject_cast<QAbstractButton*>(shown->control("开始提取按钮")),
                                          Qt::LeftButton);
                    },
                    Qt::QueuedConnection);
                return;
            }
            // The operator closes the window once the run has shown its box. Not as soon as the saving thread
            // is done: the window's loop still turns until it has seen that, and a close then is a close
            // during the save, which shows no box.
            if (watch.committed && (!closeDuringSave.isEmpty() || !dialogs.messages.empty())) {
                shown->close();
                return;
            }
            if (!watch.committing) return;
            ++watch.ticksDuringSave;
            // Something to repaint on every turn.
            qobject_cast<QLineEdit*>(shown->control("状态编辑框"))
                ->setText(QStringLiteral("保存中 %1").arg(watch.ticksDuringSave));
            if (watch.ticksDuringSave == 2 && !secondStartAsked) {
                secondStartAsked = true;
                emit shown->startClicked();
            }
            if (watch.ticksDuringSave == 4 && !closeAsked && !closeDuringSave.isEmpty()) {
                closeAsked = true;
                if (closeDuringSave == QStringLiteral("Escape"))
                    QTest::keyClick(shown, Qt::Key_Escape);
                else
                    ::raise(SIGTERM);
            }
        });
        turns.start();
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        watchdog.start(120000);

        app::SessionServices services;
        services.workbookFolder = Q(tree.Path("out"));
        services.clock = [] { return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)); };
        services.openWorkbook = [&opens](const QString&) {
            ++opens;
            return true;
        };
        services.settings.pool = workflow::FixedPreparePool(2);
        services.workbookMaker = &maker;
        const int exitCode = app::RunWindowProgram(dialogs, std::move(services));
        turns.stop();

        QCOMPARE(exitCode, app::kExitClosed);
        QCOMPARE(maker.creates, 1);  // the start asked for during the save was turned away
        QVERIFY(secondStartAsked);
        qInfo("loop turns during the save: %d, paints: %d", watch.ticksDuringSave, watch.paintsDuringSave);
        QVERIFY2(watch.ticksDuringSave >= 5, qPrintable(QString::number(watch.ticksDuringSave)));
        // A closed window is hidden and paints no more.
        QVERIFY2(watch.paintsDuringSave >= (closeDuringSave.isEmpty() ? 2 : 1),
                 qPrintable(QString::number(watch.paintsDuringSave)));
        if (closeDuringSave.isEmpty()) {
            QCOMPARE(dialogs.messages.size(), std::size_t{1});
            QVERIFY(dialogs.messages[0].text.startsWith(
                QStringLiteral("提取元数据完成，本次共提取1个文件的元数据信息。\n")));
            QCOMPARE(opens, 1);
        } else {
            // Closed while saving: the save ends, then the program, as a close during the rows does.
            QVERIFY(closeAsked);
            QVERIFY(dialogs.messages.empty());
            QCOMPARE(opens, 0);
        }

        const auto check = quillmere::testing::RunCommand(
            "/usr/bin/python3 -c " + quillmere::testing::ShellQuoted(kSheetCheck) + " " +
            quillmere::testing::ShellQuoted(saved) + " " + std::to_string(kRowsBeforeTheRun) + " 0001.jpg 2>&1");
        QVERIFY2(check.succeeded, check.output.c_str());
        QCOMPARE(check.Lines(), (std::vector<std::string>{std::to_string(kRowsBeforeTheRun + 2), "ok"}));
    }
};

QTEST_MAIN(WindowSaveTest)
#include "window_save_test.moc"
