// The window program as an operator uses it: real clicks and keys on the
// window, the folder chooser and message boxes answered by the test, the
// workflow and the xlsx workbook underneath.

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "../support/jpeg_fixture.h"
#include "../support/memory_workbook.h"
#include "../support/temp_tree.h"
#include "../support/workbook_reader.h"
#include "app/extraction_session.h"
#include "app/main_window.h"
#include "app/notes_box.h"
#include "runtime/text_encoding.h"
#include "scripted_dialogs.h"
#include "typing.h"
#include "workflow/notes_text.h"

using namespace quillmere;
using quillmere::testing::ScriptedDialogs;
using quillmere::testing::TypeText;

namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

const QDateTime kStarted(QDate(2015, 3, 7), QTime(14, 5, 9));

const std::vector<std::string> kHeader = {
    "档号", "扫描人", "设备制造商", "设备型号", "数字化时间（扫描时间）", "图像处理人", "数字化软件描述",
    "格式信息", "计算机文件名", "计算机文件大小（字节）", "数字化对象形态", "扫描分辨率（DPI）", "扫描色彩模式",
    "图像压缩方案"};

std::vector<std::string> RowOf(const quillmere::testing::WorkbookSheet& sheet, std::size_t row) {
    std::vector<std::string> values;
    for (std::size_t column = 1; column <= 14; ++column) values.push_back(sheet.At(row, column));
    return values;
}

}  // namespace

class ExtractionSessionTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        tree = std::make_unique<quillmere::testing::TempTree>();
        tree->File("scan/0001.jpg", quillmere::testing::MakeJpeg({.width = 8, .height = 8, .components = 3,
                                                                   .densityUnit = 1, .density = 300}));
        tree->File("scan/A/0002.jpg", quillmere::testing::MakeJpeg({.width = 16, .height = 4, .components = 1,
                                                                     .densityUnit = 2, .density = 118}));
        tree->File("scan/B/0003.txt", "not an image");
        tree->Directory("other");
        opened.clear();
        openSucceeds = true;

        StartSession(WorkbookFolder(), nullptr);
    }

    void StartSession(const QString& workbookFolder, sheet::WorkbookMaker* maker) {
        session.reset();
        window = std::make_unique<app::MainWindow>();
        dialogs = std::make_unique<ScriptedDialogs>();
        app::SessionServices services;
        services.workbookFolder = workbookFolder;
        services.clock = [] { return kStarted; };
        services.openWorkbook = [this](const QString& path) {
            opened.push_back(path);
            return openSucceeds;
        };
        services.settings.pool = workflow::FixedPreparePool(2);
        services.workbookMaker = maker;
        session = std::make_unique<app::ExtractionSession>(*window, *dialogs, std::move(services));
        session->Start();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void cleanup() {
        session.reset();
        dialogs.reset();
        window.reset();
        tree.reset();
    }

    void startUpShowsTheNotesAndWaitsForAFolder() {
        QCOMPARE(Content("编辑框1"), TextToUtf8(workflow::NotesText()));
        QVERIFY(Content("编辑框1").starts_with("\r\n"));
        QCOMPARE(Content("图像文件夹编辑框"), "");
        QVERIFY(!Button("开始提取按钮")->isEnabled());
    }

    void choosingAFolderFillsTheBoxAndEnablesStart() {
        ChooseFolder(Scan());
        QCOMPARE(Content("图像文件夹编辑框"), Scan());
        QVERIFY(Button("开始提取按钮")->isEnabled());
        QCOMPARE(dialogs->chooserTitles.size(), std::size_t{1});
    }

    void cancellingEmptiesTheBoxAndLeavesStartAsItWas_data() {
        QTest::addColumn<bool>("chosenBefore");
        QTest::newRow("no folder chosen yet") << false;
        QTest::newRow("after a folder was chosen") << true;
    }

    void cancellingEmptiesTheBoxAndLeavesStartAsItWas() {
        QFETCH(bool, chosenBefore);
        if (chosenBefore) ChooseFolder(Scan());

        ChooseFolder("");

        QCOMPARE(Content("图像文件夹编辑框"), "");
        QCOMPARE(Button("开始提取按钮")->isEnabled(), chosenBefore);
    }

    void aWholeRunWritesTheWorkbookAndHandsItOver() {
        TypeInto("扫描人编辑框", "张三");
        TypeInto("设备制造商编辑框", "Fujitsu");
        TypeInto("设备型号编辑框", "fi-7160");
        TypeInto("图像处理人编辑框", "李四");
        TypeInto("数字化软件描述编辑框", "PaperStream Capture");
        auto* showNames = qobject_cast<QCheckBox*>(window->control("显示文件名选择框"));
        QTest::mouseClick(showNames, Qt::LeftButton, {}, QPoint(6, showNames->height() / 2));
        QVERIFY(showNames->isChecked());
        ChooseFolder(Scan());
        QSignalSpy statuses(StatusBox(), &QLineEdit::textChanged);
        std::string notesWhileReporting;
        bool minimisedWhileReporting = true;
        dialogs->onMessage = [&](const app::MessageBoxRequest&) {
            notesWhileReporting = Content("编辑框1");
            minimisedWhileReporting = window->isMinimized();
        };

        QTest::mouseClick(Button("开始提取按钮"), Qt::LeftButton);

        QCOMPARE(Texts(statuses), (QStringList{
                                      Q("开始扫描档案数字化图像文件，请稍候..."),
                                      Q("共找到3个文件，下面开始提取元数据，请耐心等待..."),
                                      Q("开始导出表头..."),
                                      Q("开始导出表头...成功"),
                                      Q("文件总数：3，正在提取第1个文件的元数据..."),
                                      Q("文件总数：3，正在提取第2个文件的元数据..."),
                                      Q("文件总数：3，正在提取第3个文件的元数据..."),
                                      QString(),
                                  }));
        QCOMPARE(dialogs->messages.size(), std::size_t{1});
        const QString expected = WorkbookFolder() + Q("/scan-元数据-20150307-140509.xlsx");
        QCOMPARE(dialogs->messages[0].text, Q("提取元数据完成，本次共提取3个文件的元数据信息。\n") + expected);
        QCOMPARE(dialogs->messages[0].caption, Q("信息："));
        QCOMPARE(dialogs->messages[0].icon, QMessageBox::NoIcon);
        QCOMPARE(dialogs->messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(notesWhileReporting, TextToUtf8(workflow::NotesText()) + Scan("0001.jpg") + "\r\n" +
                                          Scan("B/0003.txt") + "\r\n" + Scan("A/0002.jpg") + "\r\n");
        QVERIFY(!minimisedWhileReporting);

        QVERIFY(window->isMinimized());
        QCOMPARE(Content("编辑框1"), TextToUtf8(workflow::NotesText()));
        QCOMPARE(Content("状态编辑框"), "");
        QCOMPARE(Content("图像文件夹编辑框"), Scan());
        QVERIFY(Button("开始提取按钮")->isEnabled());
        QCOMPARE(session->lastRun().outcome, workflow::RunOutcome::Completed);
        QCOMPARE(opened, QStringList{expected});
        const auto book = quillmere::testing::ReadWorkbook(expected.toStdString());
        QVERIFY2(book.readable, book.error.c_str());
        QCOMPARE(book.sheets.size(), std::size_t{1});
        const auto& sheet = book.sheets[0];
        QCOMPARE(sheet.rows.size(), std::size_t{4});
        QCOMPARE(RowOf(sheet, 1), kHeader);
        QCOMPARE(RowOf(sheet, 2),
                 (std::vector<std::string>{"0001", "张三", "Fujitsu", "fi-7160", sheet.At(2, 5), "李四",
                                           "PaperStream Capture", "JPG", "0001.jpg", sheet.At(2, 10), "8*8", "300",
                                           "真彩色", "75%"}));
        QCOMPARE(sheet.At(3, 9), "0003.txt");
        QCOMPARE(sheet.At(4, 9), "0002.jpg");
        QCOMPARE(sheet.At(4, 11), "16*4");
        QCOMPARE(sheet.At(4, 2), "张三");
    }

    void aWorkbookTheDesktopCannotOpenIsToldAndTheWindowStays() {
        openSucceeds = false;
        ChooseFolder(Scan());

        QTest::mouseClick(Button("开始提取按钮"), Qt::LeftButton);

        const QString saved = WorkbookFolder() + Q("/scan-元数据-20150307-140509.xlsx");
        QCOMPARE(opened, QStringList{saved});
        QCOMPARE(dialogs->messages.size(), std::size_t{2});
        QCOMPARE(dialogs->messages[0].text, Q("提取元数据完成，本次共提取3个文件的元数据信息。\n") + saved);
        QCOMPARE(dialogs->messages[1].icon, QMessageBox::Warning);
        QVERIFY2(dialogs->messages[1].text.contains(saved), qPrintable(dialogs->messages[1].text));
        QVERIFY(!window->isMinimized());
        QVERIFY(window->isVisible());
        QVERIFY(Button("开始提取按钮")->isEnabled());
        QCOMPARE(Content("状态编辑框"), "");
        QVERIFY(QFileInfo::exists(saved));
    }

    // Two runs in one second get two workbooks, the second with "-2".
    void twoRunsInOneSecondKeepBothWorkbooks() {
        ChooseFolder(Scan());
        QTest::mouseClick(Button("开始提取按钮"), Qt::LeftButton);
        QTest::mouseClick(Button("开始提取按钮"), Qt::LeftButton);

        QCOMPARE(opened, (QStringList{WorkbookFolder() + Q("/scan-元数据-20150307-140509.xlsx"),
                                      WorkbookFolder() + Q("/scan-元数据-20150307-140509-2.xlsx")}));
        for (const QString& path : opened) {
            const auto book = quillmere::testing::ReadWorkbook(path.toStdString());
            QVERIFY2(book.readable, book.error.c_str());
            QCOMPARE(book.sheets.at(0).rows.size(), std::size_t{4});
        }
    }

    // A workbook folder that cannot be made or written: the box names the
    // path and why, nothing is left behind, and the window stays usable.
    void aWorkbookThatCannotBeCreatedIsToldWithItsPath_data() {
        QTest::addColumn<QString>("blocker");  // what stands in the way
        QTest::addColumn<QString>("reason");
        QTest::newRow("a file where the folder should be") << Q("file") << Q("（");
        QTest::newRow("read-only documents folder") << Q("read-only") << Q("（没有写入权限）");
        QTest::newRow("read-only file system") << Q("read-only mount") << Q("（文件系统只读）");
    }

    void aWorkbookThatCannotBeCreatedIsToldWithItsPath() {
        QFETCH(QString, blocker);
        QFETCH(QString, reason);
        const QString documents = Q(tree->Path("只读文档"));
        QVERIFY(QDir().mkpath(documents));
        QString workbookFolder = documents + Q("/Quillmere");
        // Unmounted however the test ends, so the tree can be removed.
        struct Unmount {
            std::string at;
            ~Unmount() {
                if (!at.empty()) static_cast<void>(std::system(("umount '" + at + "'").c_str()));
            }
        } unmount;
        if (blocker == Q("file")) {
            tree->File("只读文档/Quillmere", "not a folder");
        } else if (blocker == Q("read-only mount")) {
            // Only root may mount; CI runs as root, a developer's account skips.
            const std::string mount = "mount -t tmpfs -o ro,size=1m tmpfs '" + documents.toStdString() + "' 2>/dev/null";
            if (geteuid() != 0 || std::system(mount.c_str()) != 0) QSKIP("cannot mount a read-only file system here");
            unmount.at = documents.toStdString();
        } else {
            if (geteuid() == 0) QSKIP("root writes into read-only folders");
            QVERIFY(QFile::setPermissions(documents, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        StartSession(workbookFolder, nullptr);
        ChooseFolder(Scan());

        QTest::mouseClick(Button("开始提取按钮"), Qt::LeftButton);

        QCOMPARE(dialogs->messages.size(), std::size_t{1});
        const app::MessageBoxRequest& told = dialogs->messages[0];
        QCOMPARE(told.icon, QMessageBox::Warning);
        QVERIFY2(told.text.startsWith(Q("无法创建工作簿：") + workbookFolder), qPrintable(told.text));
        QVERIFY2(told.text.contains(reason) && told.text.endsWith(Q("）")), qPrintable(told.text));
        QCOMPARE(session->lastRun().outcome, workflow::RunOutcome::CreateFailed);
        QVERIFY(Button("开始提取按钮")->isEnabled());
        QVERIFY(!window->isMinimized());
        QVERIFY(opened.isEmpty());
        QCOMPARE(QDir(documents).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
                 qsizetype{blocker == Q("file") ? 1 : 0});
        QFile::setPermissions(documents, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    // A save that fails is told instead of the completion message; the
    // window stays, ready for the next run.
    void aFailedSaveIsToldInsteadOfTheCompletion() {
        quillmere::testing::MemoryWorkbookMaker maker;
        maker.path = "/文档/Quillmere/scan-元数据-20150307-140509.xlsx";
        maker.commitFailure = sheet::WorkbookFailure{maker.path, "磁盘空间不足"};
        StartSession(WorkbookFolder(), &maker);
        ChooseFolder(Scan());
        std::string notesWhileTold;
        dialogs->onMessage = [&](const app::MessageBoxRequest&) { notesWhileTold = Content("编辑框1"); };

        QTest::mouseClick(Button("开始提取按钮"), Qt::LeftButton);

        QCOMPARE(dialogs->messages.size(), std::size_t{1});
        QCOMPARE(dialogs->messages[0].text, Q("工作簿保存失败：/文档/Quillmere/scan-元数据-20150307-140509.xlsx（磁盘空间不足）"));
        QCOMPARE(dialogs->messages[0].icon, QMessageBox::Warning);
        QCOMPARE(session->lastRun().outcome, workflow::RunOutcome::SaveFailed);
        QVERIFY(!window->isMinimized());
        QCOMPARE(Content("状态编辑框"), "");
        QVERIFY(Button("开始提取按钮")->isEnabled());
        QVERIFY(opened.isEmpty());
        QVERIFY(!maker.committed);
        session.reset();  // before the maker goes
    }

    void aFolderThatCannotBeReadStartsNothing() {
        ChooseFolder(Scan());
        auto* folder = qobject_cast<QLineEdit*>(window->control("图像文件夹编辑框"));
        folder->setFocus();
        folder->selectAll();
        TypeText(folder, Q(tree->Path("missing")));

        QTest::mouseClick(Button("开始提取按钮"), Qt::LeftButton);

        QCOMPARE(dialogs->messages.size(), std::size_t{1});
        QCOMPARE(dialogs->messages[0].text, Q("图像文件夹不存在或无法读取：" + tree->Path("missing")));
        QCOMPARE(dialogs->messages[0].icon, QMessageBox::Warning);
        QVERIFY(Button("开始提取按钮")->isEnabled());
        QVERIFY(!QDir(WorkbookFolder()).exists());
        QVERIFY(opened.isEmpty());
    }

    // A folder chosen during a run shows at once, but start stays disabled
    // until the run is over, so no second run can begin inside the first.
    void aFolderChosenDuringARunWaitsForTheRunToEnd() {
        ChooseFolder(Scan());
        QString folderDuringRun;
        bool startEnabledDuringRun = true;
        bool acted = false;
        OnStatus(Q("文件总数：3，正在提取第2个文件的元数据..."), [&] {
            acted = true;
            ChooseFolder(tree->Path("other"));
            folderDuringRun = qobject_cast<QLineEdit*>(window->control("图像文件夹编辑框"))->text();
            startEnabledDuringRun = Button("开始提取按钮")->isEnabled();
            QTest::mouseClick(Button("开始提取按钮"), Qt::LeftButton);  // disabled: nothing happens
        });

        QTest::mouseClick(Button("开始提取按钮"), Qt::LeftButton);

        QVERIFY(acted);
        QCOMPARE(folderDuringRun, Q(tree->Path("other")));
        QVERIFY(!startEnabledDuringRun);
        QCOMPARE(session->lastRun().outcome, workflow::RunOutcome::Completed);
        QCOMPARE(session->lastRun().filesWritten, std::int64_t{3});
        QCOMPARE(dialogs->messages.size(), std::size_t{1});
        QVERIFY(Button("开始提取按钮")->isEnabled());
        QCOMPARE(Content("图像文件夹编辑框"), tree->Path("other"));
        QCOMPARE(opened, QStringList{WorkbookFolder() + Q("/scan-元数据-20150307-140509.xlsx")});
    }

    // From the file manager: one local folder dropped anywhere on the window
    // is taken as the chooser's answer would be.
    void aDroppedFolderIsTakenAsIfChosen_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("on the window") << QString() << QString();
        QTest::newRow("on the folder box") << Q("图像文件夹编辑框") << QString();
        QTest::newRow("on a batch-fact box") << Q("扫描人编辑框") << QString();
        QTest::newRow("on the notes box") << Q("编辑框1") << QString();
        QTest::newRow("on a label") << Q("标签6") << QString();
        QTest::newRow("with a trailing separator") << QString() << Q("/");
    }

    void aDroppedFolderIsTakenAsIfChosen() {
        QFETCH(QString, target);
        QFETCH(QString, suffix);
        QVERIFY(!Button("开始提取按钮")->isEnabled());

        QVERIFY(Drop(DropTarget(target), {QUrl::fromLocalFile(Q(Scan()) + suffix)}));

        QCOMPARE(Content("图像文件夹编辑框"), Scan());
        QVERIFY(Button("开始提取按钮")->isEnabled());
        QCOMPARE(Content("扫描人编辑框"), "");
        QCOMPARE(Content("编辑框1"), TextToUtf8(workflow::NotesText()));
        QVERIFY(dialogs->chooserTitles.empty());
    }

    void whatIsNotOneLocalFolderIsRefusedAndChangesNothing_data() {
        QTest::addColumn<QString>("target");
        // Local places relative to the test tree; a URL with a scheme as it is.
        QTest::addColumn<QStringList>("places");
        QTest::newRow("a file") << QString() << QStringList{"scan/0001.jpg"};
        QTest::newRow("a file on the folder box") << Q("图像文件夹编辑框") << QStringList{"scan/0001.jpg"};
        QTest::newRow("two folders") << QString() << QStringList{"scan", "other"};
        QTest::newRow("two folders on the folder box") << Q("图像文件夹编辑框") << QStringList{"scan", "other"};
        QTest::newRow("a folder and a file") << Q("编辑框1") << QStringList{"other", "scan/0001.jpg"};
        QTest::newRow("a folder that is gone") << QString() << QStringList{"missing"};
        QTest::newRow("a remote folder") << QString() << QStringList{"sftp://host/srv/scan/"};
    }

    void whatIsNotOneLocalFolderIsRefusedAndChangesNothing() {
        QFETCH(QString, target);
        QFETCH(QStringList, places);
        QList<QUrl> urls;
        for (const QString& place : places) {
            urls.push_back(place.contains(Q("://")) ? QUrl(place) : QUrl::fromLocalFile(Q(tree->Path(place.toStdString()))));
        }
        auto* folder = qobject_cast<QLineEdit*>(window->control("图像文件夹编辑框"));
        folder->setText(Q("/扫描/已有"));

        QVERIFY(!Drop(DropTarget(target), urls));

        QCOMPARE(folder->text(), Q("/扫描/已有"));
        QVERIFY(!Button("开始提取按钮")->isEnabled());
        QCOMPARE(Content("编辑框1"), TextToUtf8(workflow::NotesText()));
    }

    // As with the chooser: the box shows the dropped folder at once, start
    // stays disabled until the run is over.
    void aFolderDroppedDuringARunWaitsForTheRunToEnd() {
        ChooseFolder(Scan());
        QString folderDuringRun;
        bool startEnabledDuringRun = true;
        bool accepted = false;
        OnStatus(Q("文件总数：3，正在提取第2个文件的元数据..."), [&] {
            accepted = Drop(window.get(), {QUrl::fromLocalFile(Q(tree->Path("other")))});
            folderDuringRun = qobject_cast<QLineEdit*>(window->control("图像文件夹编辑框"))->text();
            startEnabledDuringRun = Button("开始提取按钮")->isEnabled();
        });

        QTest::mouseClick(Button("开始提取按钮"), Qt::LeftButton);

        QVERIFY(accepted);
        QCOMPARE(folderDuringRun, Q(tree->Path("other")));
        QVERIFY(!startEnabledDuringRun);
        QCOMPARE(session->lastRun().outcome, workflow::RunOutcome::Completed);
        QCOMPARE(session->lastRun().filesWritten, std::int64_t{3});
        QVERIFY(Button("开始提取按钮")->isEnabled());
        QCOMPARE(Content("图像文件夹编辑框"), tree->Path("other"));
    }

    void closingDuringARunSavesTheRowsSoFarAndEnds_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Esc in a batch-fact box") << Q("扫描人编辑框");
        QTest::newRow("Esc in the notes box") << Q("编辑框1");
        QTest::newRow("close button") << QString();
    }

    void closingDuringARunSavesTheRowsSoFarAndEnds() {
        QFETCH(QString, how);
        ChooseFolder(Scan());
        QSignalSpy finished(window.get(), &app::MainWindow::finished);
        bool hiddenAtOnce = false;
        int finishedDuringRun = -1;
        OnStatus(Q("文件总数：3，正在提取第2个文件的元数据..."), [&] {
            if (how.isEmpty()) {
                window->close();
            } else {
                QWidget* control = window->control(how.toStdString());
                control->setFocus();
                QTest::keyClick(control, Qt::Key_Escape);
            }
            hiddenAtOnce = !window->isVisible();
            finishedDuringRun = static_cast<int>(finished.count());
        });

        QTest::mouseClick(Button("开始提取按钮"), Qt::LeftButton);

        QVERIFY(hiddenAtOnce);
        QCOMPARE(finishedDuringRun, 0);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(session->lastRun().outcome, workflow::RunOutcome::Interrupted);
        QCOMPARE(session->lastRun().filesWritten, std::int64_t{2});
        QVERIFY(dialogs->messages.empty());
        QVERIFY(opened.isEmpty());

        const QStringList saved = QDir(WorkbookFolder()).entryList({Q("*.xlsx")}, QDir::Files);
        QCOMPARE(saved, QStringList{Q("scan-元数据-20150307-140509.xlsx")});
        const auto book = quillmere::testing::ReadWorkbook((WorkbookFolder() + "/" + saved[0]).toStdString());
        QVERIFY2(book.readable, book.error.c_str());
        const auto& sheet = book.sheets.at(0);
        QCOMPARE(sheet.rows.size(), std::size_t{3});
        QCOMPARE(RowOf(sheet, 1), kHeader);
        QCOMPARE(sheet.At(2, 9), "0001.jpg");
        QCOMPARE(sheet.At(3, 9), "0003.txt");
    }

private:
    std::string Scan(const std::string& relative = "") const {
        return relative.empty() ? tree->Path("scan") : tree->Path("scan/" + relative);
    }
    QString WorkbookFolder() const { return Q(tree->Path("文档/Quillmere")); }

    QAbstractButton* Button(const char* name) const {
        return qobject_cast<QAbstractButton*>(window->control(name));
    }
    QLineEdit* StatusBox() const { return qobject_cast<QLineEdit*>(window->control("状态编辑框")); }
    // What the box shows, its lines separated by CR LF as the workflow writes them.
    std::string Content(const char* name) const {
        QWidget* box = window->control(name);
        if (auto* line = qobject_cast<QLineEdit*>(box)) return line->text().toStdString();
        // What the notes box holds once everything appended is shown.
        return qobject_cast<app::NotesBox*>(box)->text().replace(Q("\n"), Q("\r\n")).toStdString();
    }

    QWidget* DropTarget(const QString& name) const {
        if (name.isEmpty()) return window.get();
        QWidget* control = window->control(name.toStdString());
        if (auto* notes = qobject_cast<QAbstractScrollArea*>(control)) return notes->viewport();
        return control;
    }

    // A file manager's drag entering the target and dropped at its centre;
    // true when the window accepted it. Like a file manager's, it offers the
    // places as plain text too, which an edit box would insert.
    static bool Drop(QWidget* target, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QStringList paths;
        for (const QUrl& url : urls) paths.push_back(url.isLocalFile() ? url.toLocalFile() : url.toString());
        data.setText(paths.join(QLatin1Char('\n')));
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(QPointF(at), enter.dropAction(), &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }

    void TypeInto(const char* name, const char* text) {
        QWidget* box = window->control(name);
        box->setFocus();
        TypeText(box, Q(text));
    }

    void ChooseFolder(const std::string& answer) {
        dialogs->folderAnswers.push_back(Q(answer));
        QTest::mouseClick(Button("选择文件夹按钮"), Qt::LeftButton);
    }

    // When the status box first shows `status`, `act` runs as the operator's
    // next input: it is queued, so the run handles it in its event processing.
    void OnStatus(const QString& status, std::function<void()> act) {
        QObject::connect(StatusBox(), &QLineEdit::textChanged, window.get(),
                         [this, status, act = std::move(act), done = false](const QString& shown) mutable {
                             if (done || shown != status) return;
                             done = true;
                             QMetaObject::invokeMethod(window.get(), act, Qt::QueuedConnection);
                         });
    }

    static QStringList Texts(const QSignalSpy& spy) {
        QStringList texts;
        for (const QList<QVariant>& arguments : spy) texts << arguments.at(0).toString();
        return texts;
    }

    std::unique_ptr<quillmere::testing::TempTree> tree;
    std::unique_ptr<app::MainWindow> window;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<app::ExtractionSession> session;
    QStringList opened;
    bool openSucceeds = true;
};

QTEST_MAIN(ExtractionSessionTest)
#include "extraction_session_test.moc"
