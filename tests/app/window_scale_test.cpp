// The window on the screen it is given: at 100 % where it fits, drawn
// smaller by one factor where the free area is too small, never off screen.
// ctest runs it on several configured offscreen screens and says, in
// QUILLMERE_EXPECTED_SCALE, what factor that screen calls for.

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "app/control_table.h"
#include "app/main_window.h"
#include "app/window_scale.h"

using namespace quillmere::app;

class WindowScaleTest : public QObject {
    Q_OBJECT

private slots:
    void fitScale_data() {
        QTest::addColumn<QSize>("available");
        QTest::addColumn<double>("scale");
        const QSize outer = kClientSize + kFrameAllowance;  // 888 x 580
        QTest::newRow("exactly the window") << outer << 1.0;
        QTest::newRow("larger") << QSize(1920, 1080) << 1.0;
        QTest::newRow("full HD at 200 %") << QSize(960, 540) << 540.0 / 580;
        QTest::newRow("1280x800 at 150 %") << QSize(853, 533) << 533.0 / 580;
        QTest::newRow("narrow") << QSize(444, 1080) << 0.5;
        QTest::newRow("no screen size") << QSize(0, 0) << 1.0;
    }

    void fitScale() {
        QFETCH(QSize, available);
        QFETCH(double, scale);
        QCOMPARE(FitScale(kClientSize, kFrameAllowance, available), scale);
    }

    void scaledControlsThatTouchStillTouch() {
        const QRect left(92, 80, 720, 20);
        const QRect right(812, 80, 48, 20);
        for (const double scale : {1.0, 0.93, 0.919, 0.5, 0.37}) {
            const QRect a = ScaledRect(left, scale);
            const QRect b = ScaledRect(right, scale);
            QCOMPARE(a.right() + 1, b.left());
            QCOMPARE(a.top(), b.top());
        }
        QCOMPARE(ScaledRect(QRect(12, 16, 64, 24), 1.0), QRect(12, 16, 64, 24));
        QCOMPARE(ScaledRect(QRect(12, 16, 64, 24), 0.5), QRect(6, 8, 32, 12));
        QCOMPARE(ScaledSize(kClientSize, 0.5), QSize(436, 266));
    }

    void theWindowFitsTheScreen() {
        const QScreen* screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        const QRect free = screen->availableGeometry();
        const double expected = std::atof(qgetenv("QUILLMERE_EXPECTED_SCALE").constData());
        QVERIFY2(expected > 0, "ctest gives the expected factor");

        const QFont standard = QWidget().font();
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QVERIFY2(std::abs(window.layoutScale() - expected) < 0.01, qPrintable(QString::number(window.layoutScale())));
        QVERIFY(window.missingControls().empty());
        // The whole window, with room for a title bar and border, on the
        // free area of the screen.
        QRect outer = window.frameGeometry();
        if (outer.size() == window.size()) outer.setSize(window.size() + kFrameAllowance);
        QVERIFY2(free.contains(outer), qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                                                      .arg(outer.x()).arg(outer.y()).arg(outer.width())
                                                      .arg(outer.height()).arg(free.width()).arg(free.height())));
        QCOMPARE(window.size(), ScaledSize(kClientSize, window.layoutScale()));
        for (const ControlRow& row : ControlTable()) {
            QCOMPARE(window.control(row.name)->geometry(), ScaledRect(row.rect, window.layoutScale()));
        }
        if (expected == 1.0) {
            QCOMPARE(window.size(), kClientSize);
            QCOMPARE(window.control("编辑框1")->geometry(), QRect(92, 152, 768, 368));
            QCOMPARE(window.font(), standard);
        } else {
            QVERIFY(window.font().pointSizeF() < standard.pointSizeF());
            QVERIFY(std::abs(window.font().pointSizeF() / standard.pointSizeF() - window.layoutScale()) < 0.01);
            QCOMPARE(window.control("编辑框1")->font(), window.font());
        }
    }
};

QTEST_MAIN(WindowScaleTest)
#include "window_scale_test.moc"
