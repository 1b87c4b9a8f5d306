// The window port over real widgets: each typed operation lands on the
// control of its role, and the UI services, driven with real key and mouse
// events.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include <memory>
#include <string>

#include "app/main_window.h"
#include "app/message_box_request.h"
#include "app/notes_box.h"
#include "app/qt_window_port.h"
#include "runtime/text_encoding.h"
#include "scripted_dialogs.h"
#include "typing.h"

using quillmere::Text;
using quillmere::TextFromUtf8;
using quillmere::TextToUtf8;
using quillmere::app::MainWindow;
using quillmere::app::MessageBoxRequest;
using quillmere::app::QtWindowPort;
using quillmere::workflow::MessageKind;
using quillmere::testing::ScriptedDialogs;
using quillmere::testing::TypeText;

Q_DECLARE_METATYPE(QMessageBox::Icon)
Q_DECLARE_METATYPE(QMessageBox::StandardButton)
Q_DECLARE_METATYPE(QMessageBox::StandardButtons)
Q_DECLARE_METATYPE(quillmere::workflow::MessageKind)

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
std::string S(const QString& text) { return text.toStdString(); }

constexpr std::string_view kNotes = "编辑框1";
constexpr std::string_view kScanner = "扫描人编辑框";
constexpr std::string_view kFolder = "图像文件夹编辑框";
constexpr std::string_view kStatus = "状态编辑框";
constexpr std::string_view kStart = "开始提取按钮";
constexpr std::string_view kShowNames = "显示文件名选择框";

QString LineText(const MainWindow& window, std::string_view name) {
    return qobject_cast<QLineEdit*>(window.control(name))->text();
}
// The notes box's text once everything appended is shown.
QString NotesText(const MainWindow& window) {
    return qobject_cast<quillmere::app::NotesBox*>(window.control(kNotes))->text();
}
// The notes box's text with what was appended and not yet shown, lines ended
// as the port takes them.
std::string NotesContent(const MainWindow& window) {
    auto* notes = qobject_cast<quillmere::app::NotesBox*>(window.control(kNotes));
    return notes->text().replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toStdString();
}

}  // namespace

class QtWindowPortTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        window = std::make_unique<MainWindow>();
        dialogs = std::make_unique<ScriptedDialogs>();
        opened.clear();
        port = std::make_unique<QtWindowPort>(*window, *dialogs, [this](const QString& path) {
            opened << path;
            return openSucceeds;
        });
    }
    void cleanup() {
        port.reset();
        dialogs.reset();
        window.reset();
    }

    // Each batch-fact box feeds its own fact: a box read for another would
    // put one column's text into a neighbour's.
    void batchFactsComeFromTheirOwnBoxes() {
        const std::pair<const char*, const char*> typed[] = {
            {"扫描人编辑框", "张三"},     {"设备制造商编辑框", "Fujitsu"},         {"设备型号编辑框", "fi-7160"},
            {"图像处理人编辑框", "李四"}, {"数字化软件描述编辑框", "PaperStream"},
        };
        for (const auto& [name, text] : typed) qobject_cast<QLineEdit*>(window->control(name))->setText(Q(text));

        const quillmere::workflow::BatchFacts facts = port->ReadBatchFacts();

        QCOMPARE(TextToUtf8(facts.scanner), "张三");
        QCOMPARE(TextToUtf8(facts.maker), "Fujitsu");
        QCOMPARE(TextToUtf8(facts.model), "fi-7160");
        QCOMPARE(TextToUtf8(facts.processor), "李四");
        QCOMPARE(TextToUtf8(facts.software), "PaperStream");
    }

    void folderIsWrittenAndReadInItsBox() {
        port->SetFolder(TextFromUtf8("/数据/扫描/2015"));
        QCOMPARE(LineText(*window, kFolder), Q("/数据/扫描/2015"));
        qobject_cast<QLineEdit*>(window->control(kFolder))->setText(Q("/其他"));
        QCOMPARE(TextToUtf8(port->Folder()), "/其他");
    }

    void statusReplacesTheWholeStatusLine() {
        port->SetStatus(TextFromUtf8("文件总数：120，正在提取第7个文件的元数据..."));
        QCOMPARE(LineText(*window, kStatus), Q("文件总数：120，正在提取第7个文件的元数据..."));
        port->SetStatus(Text());
        QCOMPARE(LineText(*window, kStatus), QString());
        QCOMPARE(LineText(*window, kFolder), QString());
    }

    void notesReplaceTheLogWithCrLfLinesShownAsLines() {
        port->AppendToPathLog(Text("/scan/1.jpg\r\n"));
        port->ShowNotes(TextFromUtf8("\r\n重要说明\r\n\r\n第三行"));
        QCOMPARE(NotesText(*window), Q("\n重要说明\n\n第三行"));
    }

    void typedTextIsWhatTheBatchFactsRead() {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QWidget* scanner = window->control(kScanner);
        scanner->setFocus();
        TypeText(scanner, Q("张三 abc"));
        QCOMPARE(TextToUtf8(port->ReadBatchFacts().scanner), "张三 abc");
        QTest::keyClick(scanner, Qt::Key_Backspace);
        QCOMPARE(TextToUtf8(port->ReadBatchFacts().scanner), "张三 ab");
    }

    void notesBoxTakesTheProgramsTextButNotTheUsers() {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        port->ShowNotes(TextFromUtf8("说明"));
        QWidget* notes = window->control(kNotes);
        notes->setFocus();

        TypeText(notes, Q("xyz中"));
        QTest::keyClick(notes, Qt::Key_Backspace);
        QTest::keyClick(notes, Qt::Key_Delete);
        QTest::keyClick(notes, Qt::Key_Return);
        QTest::keyClick(notes, Qt::Key_V, Qt::ControlModifier);

        QCOMPARE(NotesText(*window), Q("说明"));
        QVERIFY(!notes->testAttribute(Qt::WA_InputMethodEnabled));
        port->ShowNotes(TextFromUtf8("新的说明"));
        QCOMPARE(NotesText(*window), Q("新的说明"));
    }

    void startEnabledSwitchesTheButton() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* start = qobject_cast<QPushButton*>(window->control(kStart));
        QSignalSpy clicked(start, &QPushButton::clicked);

        QTest::mouseClick(start, Qt::LeftButton);
        QCOMPARE(clicked.count(), 0);

        port->SetStartEnabled(true);
        QVERIFY(start->isEnabled());
        QTest::mouseClick(start, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);

        port->SetStartEnabled(false);
        QVERIFY(!start->isEnabled());
    }

    void pathLogIsWantedWhileTheBoxIsTicked_data() {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<bool>("wanted");
        QTest::newRow("untouched") << 0 << false;
        QTest::newRow("ticked") << 1 << true;
        QTest::newRow("ticked and unticked") << 2 << false;
        QTest::newRow("ticked again") << 3 << true;
    }

    void pathLogIsWantedWhileTheBoxIsTicked() {
        QFETCH(int, clicks);
        QFETCH(bool, wanted);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* box = qobject_cast<QCheckBox*>(window->control(kShowNames));
        for (int i = 0; i < clicks; ++i) QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        QCOMPARE(port->PathLogWanted(), wanted);
    }

    void minimiseLeavesAHiddenWindowHidden() {
        QVERIFY(!window->isVisible());
        port->Minimise();
        QVERIFY(!window->isVisible());
        QVERIFY(!window->isMinimized());
    }

    void minimiseMinimisesAShownWindow() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        port->Minimise();
        QVERIFY(window->isMinimized());
    }

    void messageKindsShowAsPlainAndWarningBoxes_data() {
        QTest::addColumn<MessageKind>("kind");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::newRow("plain") << MessageKind::Plain << QMessageBox::NoIcon;
        QTest::newRow("warning") << MessageKind::Warning << QMessageBox::Warning;
    }

    void messageKindsShowAsPlainAndWarningBoxes() {
        QFETCH(MessageKind, kind);
        QFETCH(QMessageBox::Icon, icon);

        port->ShowMessage(TextFromUtf8("提取元数据完成\n/文档/Quillmere/a.xlsx"), kind);

        QCOMPARE(dialogs->messages.size(), std::size_t{1});
        const MessageBoxRequest& shown = dialogs->messages[0];
        QCOMPARE(shown.caption, Q("信息："));
        QCOMPARE(shown.text, Q("提取元数据完成\n/文档/Quillmere/a.xlsx"));
        QCOMPARE(shown.icon, icon);
        QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(dialogs->messageParents.at(0), static_cast<QWidget*>(window.get()));
    }

    void openWorkbookHandsThePathToTheDesktopAndSaysIfItTookIt() {
        QVERIFY(port->OpenWorkbook("/文档/Quillmere/批次-元数据-20150307-140509.xlsx"));
        openSucceeds = false;
        QVERIFY(!port->OpenWorkbook("/文档/Quillmere/b.xlsx"));
        QCOMPARE(opened, (QStringList{Q("/文档/Quillmere/批次-元数据-20150307-140509.xlsx"), Q("/文档/Quillmere/b.xlsx")}));
    }

    void builtMessageBoxIsModalForTheProgram_data() {
        QTest::addColumn<MessageKind>("kind");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::newRow("plain") << MessageKind::Plain << QMessageBox::NoIcon;
        QTest::newRow("warning") << MessageKind::Warning << QMessageBox::Warning;
    }

    void builtMessageBoxIsModalForTheProgram() {
        QFETCH(MessageKind, kind);
        QFETCH(QMessageBox::Icon, icon);
        const auto box = quillmere::app::BuildMessageBox(quillmere::app::MessageFor(Q("正文"), kind), nullptr);
        QCOMPARE(box->windowTitle(), Q("信息："));
        QCOMPARE(box->text(), Q("正文"));
        QCOMPARE(box->icon(), icon);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->buttons().size(), qsizetype{1});
    }

    // The real box, answered by a timer as an operator would press OK.
    void realMessageBoxReturnsWhenAnswered() {
        quillmere::app::QtUiDialogs real;
        QTimer answer;
        answer.setInterval(10);
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        Qt::WindowModality modality = Qt::NonModal;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            modality = box->windowModality();
            box->button(QMessageBox::Ok)->click();
        });
        answer.start();
        window->show();
        QtWindowPort realPort(*window, real);

        realPort.ShowMessage(TextFromUtf8("完成"), MessageKind::Warning);

        QCOMPARE(caption, Q("信息："));
        QCOMPARE(text, Q("完成"));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(modality, Qt::ApplicationModal);
    }

    void processEventsHandlesWhatIsPendingAndReturns() {
        int handled = 0;
        for (int i = 0; i < 3; ++i) QMetaObject::invokeMethod(window.get(), [&handled] { ++handled; }, Qt::QueuedConnection);
        port->ProcessEvents();
        QCOMPARE(handled, 3);
        port->ProcessEvents();  // nothing pending: returns at once
        QCOMPARE(handled, 3);
    }

    void processEventsDeliversTheOperatorsInput() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* box = qobject_cast<QCheckBox*>(window->control(kShowNames));
        QMetaObject::invokeMethod(
            window.get(), [box] { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); },
            Qt::QueuedConnection);
        QVERIFY(!port->PathLogWanted());
        port->ProcessEvents();
        QVERIFY(port->PathLogWanted());
    }

    void appendTextAddsLinesAndLeavesTheCaretAfterThem() {
        port->AppendToPathLog(Text("A\r\n"));
        QCOMPARE(NotesText(*window), Q("A\n"));
        port->AppendToPathLog(Text("B\r\n"));
        QCOMPARE(NotesText(*window), Q("A\nB\n"));
        auto* notes = qobject_cast<QPlainTextEdit*>(window->control(kNotes));
        QCOMPARE(notes->textCursor().position(), notes->document()->characterCount() - 1);
        QVERIFY(!notes->document()->isUndoAvailable());
    }

    void appendTextAfterASelectionAppendsAtTheEndAndCollapsesIt() {
        port->ShowNotes(Text("line1\r\nline2\r\nline3"));
        auto* notes = qobject_cast<QPlainTextEdit*>(window->control(kNotes));
        QTextCursor selection(notes->document());
        selection.setPosition(7);
        selection.setPosition(10, QTextCursor::KeepAnchor);
        notes->setTextCursor(selection);
        QVERIFY(notes->textCursor().hasSelection());

        port->AppendToPathLog(Text("/scan/0001.jpg\r\n"));

        QCOMPARE(NotesText(*window), Q("line1\nline2\nline3/scan/0001.jpg\n"));
        QVERIFY(!notes->textCursor().hasSelection());
        QCOMPARE(notes->textCursor().position(), notes->document()->characterCount() - 1);
    }

    // Whether the last line fits the viewport exactly or leaves a sliver
    // depends on the line height, so on the font: the rows sweep the pixel
    // sizes through every remainder, in the Latin-only font of a fresh
    // machine and in a CJK font where one is installed (else its stand-in).
    void appendTextKeepsTheNewestLineInView_data() {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixelSize");
        QTest::newRow("the window's font") << QString() << 0;
        for (int size = 10; size <= 24; ++size) {
            QTest::addRow("DejaVu Sans %dpx", size) << Q("DejaVu Sans") << size;
            QTest::addRow("Noto Sans CJK SC %dpx", size) << Q("Noto Sans CJK SC") << size;
        }
    }

    void appendTextKeepsTheNewestLineInView() {
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        auto* notes = qobject_cast<QPlainTextEdit*>(window->control(kNotes));
        if (pixelSize > 0) {
            QFont font(family);
            font.setPixelSize(pixelSize);
            notes->setFont(font);
        }
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        for (int i = 0; i < 200; ++i) port->AppendToPathLog(TextFromUtf8("/扫描/" + std::to_string(i) + ".jpg\r\n"));
        // The lines are shown together within a frame.
        QTRY_COMPARE(notes->document()->blockCount(), 201);

        const QScrollBar* bar = notes->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        const QTextBlock newest = notes->document()->findBlockByNumber(199);
        QCOMPARE(newest.text(), Q("/扫描/199.jpg"));
        const QRect caret = notes->cursorRect();
        QVERIFY(notes->viewport()->rect().contains(caret));
        // The newest path is the line just above the caret's empty one.
        QTextCursor onNewest(newest);
        const QRect newestRect = notes->cursorRect(onNewest);
        QVERIFY(notes->viewport()->rect().contains(newestRect));
    }

    void appendedLinesAreShownTogetherWithinAFrame() {
        auto* notes = qobject_cast<QPlainTextEdit*>(window->control(kNotes));
        port->AppendToPathLog(Text("A\r\n"));
        port->AppendToPathLog(Text("B\r\n"));
        QSignalSpy changes(notes->document(), &QTextDocument::contentsChange);
        QTRY_COMPARE(notes->toPlainText(), Q("A\nB\n"));
        QCOMPARE(changes.count(), 1);
    }

    void thePathLogKeepsTheNewestLinesOnly() {
        auto* notes = qobject_cast<quillmere::app::NotesBox*>(window->control(kNotes));
        QVERIFY(notes);
        const int kept = quillmere::app::NotesBox::kKeptLines;
        // Once shown, then far more than the bound in one frame.
        port->AppendToPathLog(Text("first\r\n"));
        QCOMPARE(NotesContent(*window), "first\r\n");
        const int total = 3 * kept + 7;
        for (int i = 1; i <= total; ++i) port->AppendToPathLog(Text("/p/" + std::to_string(i) + "\r\n"));
        QTRY_COMPARE(notes->document()->blockCount(), kept + 1);

        QCOMPARE(notes->document()->firstBlock().text(), Q("/p/%1").arg(total - kept + 1));
        QCOMPARE(notes->document()->lastBlock().previous().text(), Q("/p/%1").arg(total));
        QCOMPARE(notes->document()->lastBlock().text(), QString());
        const QScrollBar* bar = notes->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());

        // A few more push out as many of the oldest.
        for (int i = total + 1; i <= total + 3; ++i) {
            port->AppendToPathLog(Text("/p/" + std::to_string(i) + "\r\n"));
        }
        const std::string content = NotesContent(*window);
        QCOMPARE(notes->document()->blockCount(), kept + 1);
        QVERIFY(content.starts_with("/p/" + std::to_string(total - kept + 4) + "\r\n"));
        QVERIFY(content.ends_with("/p/" + std::to_string(total + 3) + "\r\n"));

        // Replacing the text drops what was appended and not yet shown.
        port->AppendToPathLog(Text("late\r\n"));
        port->ShowNotes(Text("notes"));
        QCOMPARE(NotesContent(*window), "notes");
        notes->showAppended();
        QCOMPARE(NotesContent(*window), "notes");
    }

    // Lines are centred, but while a line is wider than the box every line
    // starts at its left edge: a centred wide line would begin before the
    // edge, where no scrolling reaches.
    void everyLineBeginsWhereScrollingReachesIt() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* notes = qobject_cast<QPlainTextEdit*>(window->control(kNotes));
        const auto lineLeft = [notes](int blockNumber) {
            const QTextBlock block = notes->document()->findBlockByNumber(blockNumber);
            notes->document()->documentLayout()->blockBoundingRect(block);  // lays the block out
            return block.layout()->lineAt(0).naturalTextRect().left();
        };
        port->ShowNotes(TextFromUtf8("短行\r\n"));
        port->AppendToPathLog(TextFromUtf8("/扫描/0001.jpg\r\n"));
        QTRY_COMPARE(notes->document()->blockCount(), 3);
        const qreal centred = lineLeft(0);
        QVERIFY2(centred > notes->viewport()->width() / 3, "a short line is centred");
        QVERIFY(lineLeft(1) > notes->viewport()->width() / 4);

        port->AppendToPathLog(TextFromUtf8("/扫描/" + std::string(400, 'x') + "/0002.jpg\r\n"));
        QTRY_COMPARE(notes->document()->blockCount(), 4);

        const QTextBlock wide = notes->document()->findBlockByNumber(2);
        notes->document()->documentLayout()->blockBoundingRect(wide);
        QVERIFY(wide.layout()->lineAt(0).naturalTextWidth() > notes->viewport()->width());
        for (int block = 0; block < 3; ++block) {
            QVERIFY(lineLeft(block) >= 0);
            QVERIFY(lineLeft(block) < 10);
        }
        QVERIFY(notes->horizontalScrollBar()->maximum() > 0);

        port->ShowNotes(TextFromUtf8("短行\r\n"));
        QCOMPARE(lineLeft(0), centred);
    }

    void browseForFolderGivesThePathAsTheBoxShowsIt_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("expected");
        QTest::newRow("cancelled") << QString() << QString();
        QTest::newRow("root keeps its separator") << Q("/") << Q("/");
        QTest::newRow("folder") << Q("/home/scan") << Q("/home/scan");
        QTest::newRow("trailing separator dropped") << Q("/home/scan/") << Q("/home/scan");
        QTest::newRow("Chinese names") << Q("/数据/扫描 2015") << Q("/数据/扫描 2015");
    }

    void browseForFolderGivesThePathAsTheBoxShowsIt() {
        QFETCH(QString, chosen);
        QFETCH(QString, expected);
        dialogs->folderAnswers = {chosen};
        QCOMPARE(TextToUtf8(port->BrowseForFolder()), S(expected));
        QCOMPARE(dialogs->chooserTitles.size(), std::size_t{1});
        QVERIFY(dialogs->chooserTitles[0].isEmpty());
    }

    // The chooser opens at the folder in the box, else the last one chosen,
    // else home; a cancelled chooser forgets nothing.
    void theChooserOpensWhereTheOperatorWasWorking() {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QVERIFY(QDir(root.path()).mkpath(Q("扫描/2015")));
        QVERIFY(QDir(root.path()).mkpath(Q("其他")));
        const QString scan = root.filePath(Q("扫描/2015"));
        const QString other = root.filePath(Q("其他"));
        QFile file(root.filePath(Q("0001.jpg")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        auto* box = qobject_cast<QLineEdit*>(window->control("图像文件夹编辑框"));
        const auto startOfNextChoice = [this](const QString& answer) {
            dialogs->folderAnswers = {answer};
            (void)port->BrowseForFolder();
            return dialogs->chooserStarts.back();
        };

        QCOMPARE(startOfNextChoice(scan + Q("/")), QDir::homePath());   // nothing yet
        QCOMPARE(startOfNextChoice(QString()), scan);                   // the choice, now in the box
        box->setText(other);
        QCOMPARE(startOfNextChoice(QString()), other);                  // typed into the box
        box->setText(root.filePath(Q("不存在")));
        QCOMPARE(startOfNextChoice(QString()), scan);                   // the last choice
        box->setText(root.filePath(Q("0001.jpg")));
        QCOMPARE(startOfNextChoice(other), scan);                       // a file is no folder
        box->setText(QString());
        QCOMPARE(startOfNextChoice(QString()), other);
        QVERIFY(QDir(other).removeRecursively());
        QCOMPARE(startOfNextChoice(QString()), QDir::homePath());       // the last choice is gone
        QCOMPARE(dialogs->chooserStarts.size(), std::size_t{7});
    }

    void closeRequestedFollowsTheWindow() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(!port->CloseRequested());
        window->setBusy(true);
        QTest::keyClick(window->control(kNotes), Qt::Key_Escape);
        QVERIFY(port->CloseRequested());
        window->setBusy(false);
    }

private:
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<QtWindowPort> port;
    QStringList opened;
    bool openSucceeds = true;
};

QTEST_MAIN(QtWindowPortTest)
#include "qt_window_port_test.moc"
