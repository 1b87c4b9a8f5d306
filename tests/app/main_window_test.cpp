// The window as built from its control table: places, captions, styles,
// initial state, keyboard behaviour and closing.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

#include <memory>

#include "app/main_window.h"

using quillmere::app::MainWindow;

namespace {

QString Name(const char* utf8) { return QString::fromUtf8(utf8); }

template <typename Widget>
Widget* Find(const MainWindow& window, const QString& name) {
    return window.findChild<Widget*>(name);
}

const char* const kEditBoxes[] = {"扫描人编辑框",       "设备制造商编辑框", "设备型号编辑框", "图像处理人编辑框",
                                  "数字化软件描述编辑框", "图像文件夹编辑框", "状态编辑框",     "编辑框1"};

// Records the text of a line edit each time it is painted.
class PaintRecorder : public QObject {
public:
    PaintRecorder(QLineEdit* box, QStringList& painted) : box_(box), painted_(painted) { box->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == box_ && event->type() == QEvent::Paint) painted_ << box_->text();
        return false;
    }

private:
    QLineEdit* box_;
    QStringList& painted_;
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        window = std::make_unique<MainWindow>();
    }
    void cleanup() { window.reset(); }

    void everyControlStandsAtItsPlaceWithItsCaption_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QString>("caption");
        const struct {
            const char* name;
            QRect rect;
            const char* caption;
        } table[] = {
            {"标签1", {12, 16, 64, 24}, "扫描人"},
            {"扫描人编辑框", {92, 20, 152, 20}, ""},
            {"标签2", {252, 16, 72, 24}, "设备制造商"},
            {"设备制造商编辑框", {348, 20, 200, 20}, ""},
            {"标签3", {556, 16, 64, 24}, "设备型号"},
            {"设备型号编辑框", {628, 20, 232, 20}, ""},
            {"标签5", {12, 48, 72, 24}, "图像处理人"},
            {"图像处理人编辑框", {92, 52, 152, 20}, ""},
            {"标签4", {252, 48, 104, 24}, "数字化软件描述"},
            {"数字化软件描述编辑框", {348, 52, 512, 20}, ""},
            {"标签6", {12, 80, 80, 24}, "图像文件夹"},
            {"图像文件夹编辑框", {92, 80, 720, 20}, ""},
            {"选择文件夹按钮", {820, 80, 40, 24}, "选择"},
            {"开始提取按钮", {12, 112, 72, 32}, "开始提取"},
            {"状态编辑框", {92, 112, 768, 32}, ""},
            {"显示文件名选择框", {8, 160, 80, 24}, "显示文件名"},
            {"同时检验选择框", {8, 192, 80, 24}, "同时检验"},
            {"检验要求按钮", {8, 224, 80, 28}, "检验要求…"},
            {"编辑框1", {92, 152, 768, 368}, ""},
        };
        for (const auto& row : table) {
            QTest::newRow(row.name) << Name(row.name) << row.rect << Name(row.caption);
        }
    }

    void everyControlStandsAtItsPlaceWithItsCaption() {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        QFETCH(QString, caption);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        QWidget* control = Find<QWidget>(*window, name);
        QVERIFY(control);
        QCOMPARE(control->parentWidget(), window.get());
        QCOMPARE(control->geometry(), rect);
        QVERIFY(control->isVisible());
        QVERIFY(window->rect().contains(control->geometry()));
        if (auto* label = qobject_cast<QLabel*>(control)) {
            QCOMPARE(label->text(), caption);
            QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
            QCOMPARE(label->frameShape(), QFrame::NoFrame);
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            QCOMPARE(button->text(), caption);
        } else {
            QVERIFY(caption.isEmpty());
        }
    }

    void windowHasItsCaptionAFixedSizeAndNoMaximiseButton() {
        QCOMPARE(window->windowTitle(), QStringLiteral("Quillmere"));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window->missingControls().empty());
    }

    void windowStartsCentredOnThePrimaryScreen() {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QSize outer = window->frameGeometry().size();
        QCOMPARE(window->pos(), QPoint(screen.x() + (screen.width() - outer.width()) / 2,
                                       screen.y() + (screen.height() - outer.height()) / 2));
    }

    void controlsStartInTheirInitialState() {
        QVERIFY(!Find<QPushButton>(*window, Name("开始提取按钮"))->isEnabled());
        QVERIFY(Find<QPushButton>(*window, Name("选择文件夹按钮"))->isEnabled());
        QVERIFY(!Find<QLineEdit>(*window, Name("状态编辑框"))->isEnabled());
        QVERIFY(!Find<QCheckBox>(*window, Name("显示文件名选择框"))->isChecked());
        for (const char* name : kEditBoxes) {
            if (auto* line = Find<QLineEdit>(*window, Name(name))) {
                QVERIFY2(line->text().isEmpty(), name);
            } else {
                QVERIFY2(Find<QPlainTextEdit>(*window, Name(name))->toPlainText().isEmpty(), name);
            }
        }
        for (const char* name : {"开始提取按钮", "选择文件夹按钮"}) {
            auto* button = Find<QPushButton>(*window, Name(name));
            QVERIFY2(!button->isDefault() && !button->autoDefault(), name);
        }
    }

    void statusAndNotesBoxesHaveTheirStyles() {
        auto* status = Find<QLineEdit>(*window, Name("状态编辑框"));
        QCOMPARE(status->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(status->focusPolicy(), Qt::NoFocus);

        auto* notes = Find<QPlainTextEdit>(*window, Name("编辑框1"));
        QVERIFY(notes->isReadOnly());
        QVERIFY(notes->isEnabled());
        QCOMPARE(notes->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(notes->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(notes->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(notes->document()->defaultTextOption().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QVERIFY(notes->focusPolicy() != Qt::NoFocus);
    }

    void escapeInAnyControlClosesTheWindow_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"扫描人编辑框", "设备制造商编辑框", "设备型号编辑框", "图像处理人编辑框",
                                 "数字化软件描述编辑框", "图像文件夹编辑框", "编辑框1", "选择文件夹按钮",
                                 "显示文件名选择框"}) {
            QTest::newRow(name) << Name(name);
        }
    }

    void escapeInAnyControlClosesTheWindow() {
        QFETCH(QString, name);
        QSignalSpy finished(window.get(), &MainWindow::finished);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QWidget* control = Find<QWidget>(*window, name);
        control->setFocus();

        QTest::keyClick(control, Qt::Key_Escape);

        QVERIFY(!window->isVisible());
        QCOMPARE(finished.count(), 1);
        QVERIFY(window->closeRequested());
    }

    void enterDoesNotMoveTheFocus() {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QWidget* scanner = Find<QWidget>(*window, Name("扫描人编辑框"));
        scanner->setFocus();
        QTest::keyClick(scanner, Qt::Key_Return);
        QCOMPARE(window->focusWidget(), scanner);
        QVERIFY(window->isVisible());
    }

    void tabFollowsTheNumberingOfTheInputBoxes() {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const char* const order[] = {"扫描人编辑框", "设备制造商编辑框", "设备型号编辑框", "图像处理人编辑框",
                                     "数字化软件描述编辑框", "图像文件夹编辑框"};
        QWidget* first = Find<QWidget>(*window, Name(order[0]));
        first->setFocus();
        for (std::size_t next = 1; next < std::size(order); ++next) {
            QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
            QCOMPARE(window->focusWidget()->objectName(), Name(order[next]));
        }
    }

    // Paints are spaced a frame apart, but the last change is always painted.
    void theLatestStatusIsPaintedEvenWhenChangesComeFaster() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* status = Find<QLineEdit>(*window, Name("状态编辑框"));
        QStringList painted;
        PaintRecorder recorder(status, painted);

        for (int i = 1; i <= 50; ++i) {
            status->setText(QString::number(i));
            QCoreApplication::processEvents();
        }

        QTRY_VERIFY(!painted.isEmpty() && painted.last() == QStringLiteral("50"));
    }

    void closingWhileBusyHidesTheWindowAndEndsOnlyWhenIdle() {
        QSignalSpy finished(window.get(), &MainWindow::finished);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->setBusy(true);

        window->close();

        QVERIFY(!window->isVisible());
        QVERIFY(window->closeRequested());
        QCOMPARE(finished.count(), 0);
        window->setBusy(false);
        QCOMPARE(finished.count(), 1);
        window->setBusy(false);
        QCOMPARE(finished.count(), 1);
    }

    void closingWhenIdleEndsAtOnce() {
        QSignalSpy finished(window.get(), &MainWindow::finished);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(window->close());
        QCOMPARE(finished.count(), 1);
    }

private:
    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
