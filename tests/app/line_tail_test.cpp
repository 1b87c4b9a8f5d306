// The gathered tail of appended lines: the newest lines survive, whole, in
// order, whatever pieces they came in.

#include <QTest>

#include "app/line_tail.h"

using quillmere::app::LineTail;

class LineTailTest : public QObject {
    Q_OBJECT

private slots:
    void keepsTheNewestLines_data() {
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QString>("taken");
        QTest::addColumn<bool>("fillsBound");
        QTest::newRow("nothing") << 3 << QStringList{} << QString() << false;
        QTest::newRow("under the bound") << 3 << QStringList{"a\n", "b\n"} << "a\nb\n" << false;
        QTest::newRow("at the bound") << 3 << QStringList{"a\n", "b\n", "c\n"} << "a\nb\nc\n" << true;
        QTest::newRow("one over") << 3 << QStringList{"a\n", "b\n", "c\n", "d\n"} << "b\nc\nd\n" << true;
        QTest::newRow("far over, in one piece") << 2 << QStringList{"1\n2\n3\n4\n5\n6\n7\n"} << "6\n7\n" << true;
        QTest::newRow("far over, line by line")
            << 2 << QStringList{"1\n", "2\n", "3\n", "4\n", "5\n", "6\n", "7\n"} << "6\n7\n" << true;
        QTest::newRow("a line in pieces") << 2 << QStringList{"/sc", "an/1\n/sc", "an/2\n", "/scan/3\n"}
                                          << "/scan/2\n/scan/3\n" << true;
        QTest::newRow("an unfinished line stays") << 2 << QStringList{"a\nb\nc\nd"} << "b\nc\nd" << true;
        QTest::newRow("empty lines count") << 2 << QStringList{"\n\n\nx\n"} << "\nx\n" << true;
        QTest::newRow("a bound below one keeps one") << 0 << QStringList{"a\n", "b\n"} << "b\n" << true;
    }

    void keepsTheNewestLines() {
        QFETCH(int, maxLines);
        QFETCH(QStringList, pieces);
        QFETCH(QString, taken);
        QFETCH(bool, fillsBound);
        LineTail tail(maxLines);
        for (const QString& piece : pieces) tail.append(piece);
        QCOMPARE(tail.isEmpty(), pieces.isEmpty());
        QCOMPARE(tail.fillsBound(), fillsBound);
        QCOMPARE(tail.take(), taken);
        QVERIFY(tail.isEmpty());
        QVERIFY(!tail.fillsBound());
        QCOMPARE(tail.take(), QString());
    }

    void aMillionLinesHoldOnlyTheBound() {
        LineTail tail(5000);
        for (int i = 1; i <= 1000000; ++i) tail.append(QStringLiteral("/srv/scan/%1.jpg\n").arg(i));
        const QString taken = tail.take();
        QCOMPARE(taken.count(QLatin1Char('\n')), 5000);
        QVERIFY(taken.startsWith(QStringLiteral("/srv/scan/995001.jpg\n")));
        QVERIFY(taken.endsWith(QStringLiteral("/srv/scan/1000000.jpg\n")));
    }

    void takingStartsAfresh() {
        LineTail tail(2);
        tail.append(QStringLiteral("a\nb\nc\n"));
        QCOMPARE(tail.take(), QStringLiteral("b\nc\n"));
        tail.append(QStringLiteral("d\n"));
        QVERIFY(!tail.fillsBound());
        QCOMPARE(tail.take(), QStringLiteral("d\n"));
    }
};

QTEST_APPLESS_MAIN(LineTailTest)
#include "line_tail_test.moc"
