// Where a run's workbook is saved and what it is called.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/workbook_naming.h"
#include "runtime/text_encoding.h"

using quillmere::TextFromUtf8;
using quillmere::app::WorkbookStem;

namespace {
QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
}  // namespace

class WorkbookNamingTest : public QObject {
    Q_OBJECT

private slots:
    void nameCarriesTheFolderNameAndTheStartTime_data() {
        QTest::addColumn<QString>("imageFolder");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("folder") << Q("/data/扫描/2015") << Q("2015-元数据-20150307-140509");
        QTest::newRow("typed with a trailing separator") << Q("/data/扫描/") << Q("扫描-元数据-20150307-140509");
        QTest::newRow("relative") << Q("批次 3") << Q("批次 3-元数据-20150307-140509");
        QTest::newRow("root") << Q("/") << Q("根目录-元数据-20150307-140509");
    }

    void nameCarriesTheFolderNameAndTheStartTime() {
        QFETCH(QString, imageFolder);
        QFETCH(QString, fileName);
        QTemporaryDir output;
        const QDateTime at(QDate(2015, 3, 7), QTime(14, 5, 9));
        QCOMPARE(WorkbookStem(output.path(), TextFromUtf8(imageFolder.toStdString()), at),
                 output.path() + QLatin1Char('/') + fileName);
    }

    void defaultFolderIsQuillmereInTheDesktopsDocumentsFolder() {
        QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkpath(Q("config")));
        QFile dirs(home.path() + Q("/config/user-dirs.dirs"));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n");
        dirs.close();
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + Q("/config")).toUtf8());

        QCOMPARE(quillmere::app::DefaultWorkbookFolder(), home.path() + Q("/文档/Quillmere"));
    }
};

QTEST_MAIN(WorkbookNamingTest)
#include "workbook_naming_test.moc"
