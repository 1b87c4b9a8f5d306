// The window port over real widgets: properties by control name and the four
// UI services, driven with real key and mouse events.

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
using quillmere::testing::ScriptedDialogs;
using quillmere::testing::TypeText;

Q_DECLARE_METATYPE(QMessageBox::Icon)
Q_DECLARE_METATYPE(QMessageBox::StandardButton)
Q_DECLARE_METATYPE(QMessageBox::StandardButtons)

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
std::string S(const QString& text) { return text.toStdString(); }

constexpr std::string_view kNotes = "编辑框1";
constexpr std::string_view kScanner = "扫描人编辑框";
constexpr std::string_view kStart = "开始提取按钮";
constexpr std::string_view kShowNames = "显示文件名选择框";

}  // namespace

class QtWindowPortTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        window = std::make_unique<MainWindow>();
        dialogs = std::make_unique<ScriptedDialogs>();
        port = std::make_unique<QtWindowPort>(*window, *dialogs);
    }
    void cleanup() {
        port.reset();
        dialogs.reset();
        window.reset();
    }

    void contentWrittenIsShownAndReadBack_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("batch fact") << Q("扫描人编辑框") << Q("张三");
        QTest::newRow("folder") << Q("图像文件夹编辑框") << Q("/数据/扫描/2015");
        QTest::newRow("status") << Q("状态编辑框") << Q("文件总数：120，正在提取第7个文件的元数据...");
        QTest::newRow("notes, CR LF lines") << Q("编辑框1") << Q("\r\n重要说明\r\n\r\n第三行");
        QTest::newRow("notes, emptied") << Q("编辑框1") << QString();
    }

    void contentWrittenIsShownAndReadBack() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        const std::string control = S(name);
        port->SetContent(control, TextFromUtf8(S(text)));

        QCOMPARE(TextToUtf8(port->Content(control)), S(text));
        QWidget* widget = window->control(control);
        if (auto* line = qobject_cast<QLineEdit*>(widget)) {
            QCOMPARE(line->text(), text);
        } else {
            QCOMPARE(qobject_cast<QPlainTextEdit*>(widget)->toPlainText(), QString(text).replace(Q("\r\n"), Q("\n")));
        }
    }

    void typedTextIsWhatContentReads() {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QWidget* scanner = window->control(kScanner);
        scanner->setFocus();
        TypeText(scanner, Q("张三 abc"));
        QCOMPARE(TextToUtf8(port->Content(kScanner)), "张三 abc");
        QTest::keyClick(scanner, Qt::Key_Backspace);
        QCOMPARE(TextToUtf8(port->Content(kScanner)), "张三 ab");
    }

    void notesBoxTakesTheProgramsTextButNotTheUsers() {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        port->SetContent(kNotes, TextFromUtf8("说明"));
        QWidget* notes = window->control(kNotes);
        notes->setFocus();

        TypeText(notes, Q("xyz中"));
        QTest::keyClick(notes, Qt::Key_Backspace);
        QTest::keyClick(notes, Qt::Key_Delete);
        QTest::keyClick(notes, Qt::Key_Return);
        QTest::keyClick(notes, Qt::Key_V, Qt::ControlModifier);

        QCOMPARE(TextToUtf8(port->Content(kNotes)), "说明");
        QVERIFY(!notes->testAttribute(Qt::WA_InputMethodEnabled));
        port->SetContent(kNotes, TextFromUtf8("新的说明"));
        QCOMPARE(TextToUtf8(port->Content(kNotes)), "新的说明");
    }

    void disabledSwitchesTheControl() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* start = qobject_cast<QPushButton*>(window->control(kStart));
        QSignalSpy clicked(start, &QPushButton::clicked);

        QTest::mouseClick(start, Qt::LeftButton);
        QCOMPARE(clicked.count(), 0);

        port->SetDisabled(kStart, false);
        QVERIFY(start->isEnabled());
        QTest::mouseClick(start, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);

        port->SetDisabled(kStart, true);
        QVERIFY(!start->isEnabled());
    }

    void checkedFollowsTheClicks_data() {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("checked");
        QTest::newRow("untouched") << 0 << 0;
        QTest::newRow("ticked") << 1 << 1;
        QTest::newRow("ticked and unticked") << 2 << 0;
        QTest::newRow("ticked again") << 3 << 1;
    }

    void checkedFollowsTheClicks() {
        QFETCH(int, clicks);
        QFETCH(int, checked);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* box = qobject_cast<QCheckBox*>(window->control(kShowNames));
        for (int i = 0; i < clicks; ++i) QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        QCOMPARE(port->Checked(kShowNames), checked);
    }

    void positionIsClampedAndApplied_data() {
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("remembered");
        QTest::addColumn<Qt::WindowState>("state");
        QTest::newRow("-1 acts as 0") << -1 << 0 << Qt::WindowNoState;
        QTest::newRow("0 normal") << 0 << 0 << Qt::WindowNoState;
        QTest::newRow("1 restored") << 1 << 1 << Qt::WindowNoState;
        QTest::newRow("2 minimised") << 2 << 2 << Qt::WindowMinimized;
        QTest::newRow("3 maximised") << 3 << 3 << Qt::WindowMaximized;
        QTest::newRow("7 acts as 3") << 7 << 3 << Qt::WindowMaximized;
    }

    void positionIsClampedAndApplied() {
        QFETCH(int, written);
        QFETCH(int, remembered);
        QFETCH(Qt::WindowState, state);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->showMinimized();

        port->SetPosition(written);

        QCOMPARE(port->Position(), remembered);
        QVERIFY(window->isVisible());
        const Qt::WindowStates states = window->windowState();
        if (state == Qt::WindowNoState) {
            QVERIFY(!states.testFlag(Qt::WindowMinimized) && !states.testFlag(Qt::WindowMaximized));
        } else {
            QVERIFY(states.testFlag(state));
        }
    }

    void positionOneCentresTheWindowAgain() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        window->move(window->pos() + QPoint(40, 30));
        window->showMinimized();

        port->SetPosition(1);

        QVERIFY(!window->isMinimized());
        const QSize outer = window->frameGeometry().size();
        QTRY_COMPARE(window->pos(), QPoint(screen.x() + (screen.width() - outer.width()) / 2,
                                           screen.y() + (screen.height() - outer.height()) / 2));
    }

    void positionOfAHiddenWindowIsOnlyRemembered() {
        QVERIFY(!window->isVisible());
        port->SetPosition(2);
        QCOMPARE(port->Position(), 2);
        QVERIFY(!window->isVisible());
        QVERIFY(!window->isMinimized());
    }

    void showMessageDecodesItsFlags_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::addColumn<QMessageBox::StandardButtons>("buttons");
        QTest::addColumn<bool>("systemModal");
        QTest::newRow("0: OK, no icon") << 0 << QMessageBox::NoIcon << QMessageBox::StandardButtons(QMessageBox::Ok)
                                        << false;
        QTest::newRow("0x30: OK, warning") << 0x30 << QMessageBox::Warning
                                           << QMessageBox::StandardButtons(QMessageBox::Ok) << false;
        QTest::newRow("0x1000: no application-modal bit added")
            << 0x1000 << QMessageBox::NoIcon << QMessageBox::StandardButtons(QMessageBox::Ok) << true;
        QTest::newRow("0x24: yes/no, question")
            << 0x24 << QMessageBox::Question << QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No)
            << false;
        QTest::newRow("0x11: OK/cancel, error")
            << 0x11 << QMessageBox::Critical << QMessageBox::StandardButtons(QMessageBox::Ok | QMessageBox::Cancel)
            << false;
    }

    void showMessageDecodesItsFlags() {
        QFETCH(int, flags);
        QFETCH(QMessageBox::Icon, icon);
        QFETCH(QMessageBox::StandardButtons, buttons);
        QFETCH(bool, systemModal);

        QCOMPARE(port->ShowMessage(TextFromUtf8("提取元数据完成"), flags), 0);

        QCOMPARE(dialogs->messages.size(), std::size_t{1});
        const MessageBoxRequest& shown = dialogs->messages[0];
        QCOMPARE(shown.caption, Q("信息："));
        QCOMPARE(shown.text, Q("提取元数据完成"));
        QCOMPARE(shown.icon, icon);
        QCOMPARE(shown.buttons, buttons);
        QCOMPARE(shown.systemModal, systemModal);
    }

    void showMessageReturnsTheButtonsNumber_data() {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<int>("result");
        QTest::newRow("OK") << QMessageBox::Ok << 0;
        QTest::newRow("Cancel") << QMessageBox::Cancel << 1;
        QTest::newRow("Abort") << QMessageBox::Abort << 2;
        QTest::newRow("Retry") << QMessageBox::Retry << 3;
        QTest::newRow("Ignore") << QMessageBox::Ignore << 4;
        QTest::newRow("Yes") << QMessageBox::Yes << 5;
        QTest::newRow("No") << QMessageBox::No << 6;
        QTest::newRow("closed otherwise") << QMessageBox::NoButton << 0;
    }

    void showMessageReturnsTheButtonsNumber() {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(int, result);
        dialogs->messageAnswer = answer;
        QCOMPARE(port->ShowMessage(Text("x"), 0x3), result);
    }

    void builtMessageBoxIsModalForTheProgram_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("onTop");
        QTest::newRow("plain") << 0 << false;
        QTest::newRow("warning") << 0x30 << false;
        QTest::newRow("system modal") << 0x1000 << true;
    }

    void builtMessageBoxIsModalForTheProgram() {
        QFETCH(int, flags);
        QFETCH(bool, onTop);
        const auto box = quillmere::app::BuildMessageBox(quillmere::app::DecodeMessageBox(Q("正文"), flags), nullptr);
        QCOMPARE(box->windowTitle(), Q("信息："));
        QCOMPARE(box->text(), Q("正文"));
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QCOMPARE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
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

        QCOMPARE(realPort.ShowMessage(TextFromUtf8("完成"), 0x30), 0);

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
        QCOMPARE(port->Checked(kShowNames), 0);
        port->ProcessEvents();
        QCOMPARE(port->Checked(kShowNames), 1);
    }

    void appendTextAddsLinesAndLeavesTheCaretAfterThem() {
        port->AppendText(kNotes, Text("A\r\n"));
        QCOMPARE(TextToUtf8(port->Content(kNotes)), "A\r\n");
        port->AppendText(kNotes, Text("B\r\n"));
        QCOMPARE(TextToUtf8(port->Content(kNotes)), "A\r\nB\r\n");
        auto* notes = qobject_cast<QPlainTextEdit*>(window->control(kNotes));
        QCOMPARE(notes->textCursor().position(), notes->document()->characterCount() - 1);
        QVERIFY(!notes->document()->isUndoAvailable());
    }

    void appendTextAfterASelectionAppendsAtTheEndAndCollapsesIt() {
        port->SetContent(kNotes, Text("line1\r\nline2\r\nline3"));
        auto* notes = qobject_cast<QPlainTextEdit*>(window->control(kNotes));
        QTextCursor selection(notes->document());
        selection.setPosition(7);
        selection.setPosition(10, QTextCursor::KeepAnchor);
        notes->setTextCursor(selection);
        QVERIFY(notes->textCursor().hasSelection());

        port->AppendText(kNotes, Text("/scan/0001.jpg\r\n"));

        QCOMPARE(TextToUtf8(port->Content(kNotes)), "line1\r\nline2\r\nline3/scan/0001.jpg\r\n");
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
        for (int i = 0; i < 200; ++i) port->AppendText(kNotes, TextFromUtf8("/扫描/" + std::to_string(i) + ".jpg\r\n"));
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
        port->AppendText(kNotes, Text("A\r\n"));
        port->AppendText(kNotes, Text("B\r\n"));
        QSignalSpy changes(notes->document(), &QTextDocument::contentsChange);
        QTRY_COMPARE(notes->toPlainText(), Q("A\nB\n"));
        QCOMPARE(changes.count(), 1);
    }

    void thePathLogKeepsTheNewestLinesOnly() {
        auto* notes = qobject_cast<quillmere::app::NotesBox*>(window->control(kNotes));
        QVERIFY(notes);
        const int kept = quillmere::app::NotesBox::kKeptLines;
        // Once shown, then far more than the bound in one frame.
        port->AppendText(kNotes, Text("first\r\n"));
        QCOMPARE(TextToUtf8(port->Content(kNotes)), "first\r\n");
        const int total = 3 * kept + 7;
        for (int i = 1; i <= total; ++i) port->AppendText(kNotes, Text("/p/" + std::to_string(i) + "\r\n"));
        QTRY_COMPARE(notes->document()->blockCount(), kept + 1);

        QCOMPARE(notes->document()->firstBlock().text(), Q("/p/%1").arg(total - kept + 1));
        QCOMPARE(notes->document()->lastBlock().previous().text(), Q("/p/%1").arg(total));
        QCOMPARE(notes->document()->lastBlock().text(), QString());
        const QScrollBar* bar = notes->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());

        // A few more push out as many of the oldest.
        for (int i = total + 1; i <= total + 3; ++i) {
            port->AppendText(kNotes, Text("/p/" + std::to_string(i) + "\r\n"));
        }
        const std::string content = TextToUtf8(port->Content(kNotes));
        QCOMPARE(notes->document()->blockCount(), kept + 1);
        QVERIFY(content.starts_with("/p/" + std::to_string(total - kept + 4) + "\r\n"));
        QVERIFY(content.ends_with("/p/" + std::to_string(total + 3) + "\r\n"));

        // Replacing the text drops what was appended and not yet shown.
        port->AppendText(kNotes, Text("late\r\n"));
        port->SetContent(kNotes, Text("notes"));
        QCOMPARE(TextToUtf8(port->Content(kNotes)), "notes");
        notes->showAppended();
        QCOMPARE(TextToUtf8(port->Content(kNotes)), "notes");
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
        port->SetContent(kNotes, TextFromUtf8("短行\r\n"));
        port->AppendText(kNotes, TextFromUtf8("/扫描/0001.jpg\r\n"));
        QTRY_COMPARE(notes->document()->blockCount(), 3);
        const qreal centred = lineLeft(0);
        QVERIFY2(centred > notes->viewport()->width() / 3, "a short line is centred");
        QVERIFY(lineLeft(1) > notes->viewport()->width() / 4);

        port->AppendText(kNotes, TextFromUtf8("/扫描/" + std::string(400, 'x') + "/0002.jpg\r\n"));
        QTRY_COMPARE(notes->document()->blockCount(), 4);

        const QTextBlock wide = notes->document()->findBlockByNumber(2);
        notes->document()->documentLayout()->blockBoundingRect(wide);
        QVERIFY(wide.layout()->lineAt(0).naturalTextWidth() > notes->viewport()->width());
        for (int block = 0; block < 3; ++block) {
            QVERIFY(lineLeft(block) >= 0);
            QVERIFY(lineLeft(block) < 10);
        }
        QVERIFY(notes->horizontalScrollBar()->maximum() > 0);

        port->SetContent(kNotes, TextFromUtf8("短行\r\n"));
        QCOMPARE(lineLeft(0), centred);
    }

    void appendTextToAnInputBoxIsNotUndoable() {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto* scanner = qobject_cast<QLineEdit*>(window->control(kScanner));
        scanner->setFocus();
        TypeText(scanner, Q("ab"));
        port->AppendText(kScanner, Text("cd"));
        QCOMPARE(scanner->text(), Q("abcd"));
        QCOMPARE(scanner->cursorPosition(), 4);
        QVERIFY(!scanner->isUndoAvailable());
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
        QCOMPARE(TextToUtf8(port->BrowseForFolder(Text())), S(expected));
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
            (void)port->BrowseForFolder(Text());
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
};

QTEST_MAIN(QtWindowPortTest)
#include "qt_window_port_test.moc"
