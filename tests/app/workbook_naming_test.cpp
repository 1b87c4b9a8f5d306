// Where a run's workbook is saved and what it is called.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <QDirIterator>

#include "app/documents_workbook_maker.h"
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

    // A folder name as long as a file name may be still gives a workbook:
    // the folder part is shortened at a character boundary so that every
    // name the save may take ("-2" … "-10000") fits.
    void aFolderWithAVeryLongNameStillSaves_data() {
        QTest::addColumn<QString>("folderName");
        QTest::addColumn<int>("run");  // how many runs in that second
        QString chinese;
        while (chinese.toUtf8().size() < 228) chinese += Q("档");
        QTest::newRow("230 bytes of Chinese") << chinese + Q("ab") << 1;
        QTest::newRow("230 bytes, the third run") << Q("a") + chinese + Q("b") << 3;
        QTest::newRow("255 bytes of Chinese") << chinese + QString(9, QChar(0x6863)) << 2;
        QTest::newRow("255 bytes of ASCII") << QString(255, QLatin1Char('x')) << 1;
    }

    void aFolderWithAVeryLongNameStillSaves() {
        QFETCH(QString, folderName);
        QFETCH(int, run);
        QTemporaryDir images;
        QVERIFY(QDir(images.path()).mkdir(folderName));
        QTemporaryDir output;
        const QDateTime at(QDate(2015, 3, 7), QTime(14, 5, 9));
        quillmere::app::DocumentsWorkbookMaker maker(output.path(), [at] { return at; });
        maker.SetImageFolder(TextFromUtf8((images.path() + QLatin1Char('/') + folderName).toStdString()));
        QString saved;
        for (int i = 1; i <= run; ++i) {
            quillmere::sheet::CreatedWorkbook created = maker.Create({{TextFromUtf8("文件名")}});
            QVERIFY2(created.workbook != nullptr, created.failure.reason.c_str());
            QVERIFY(!created.workbook->Commit().has_value());
            saved = QString::fromStdString(created.workbook->Path());
        }
        const QString name = QFileInfo(saved).fileName();
        QVERIFY(QFileInfo(saved).isFile());
        QVERIFY(name.toUtf8().size() <= 255);
        QVERIFY(name.endsWith(Q("-元数据-20150307-140509") + (run > 1 ? Q("-%1").arg(run) : QString()) + Q(".xlsx")));
        // Cut at a whole character: what is kept is the folder name's start.
        const QString kept = name.left(name.indexOf(Q("-元数据-")));
        QVERIFY(kept.size() > 50);
        QVERIFY(folderName.startsWith(kept));
        QCOMPARE(QDir(output.path()).entryList(QDir::Files | QDir::Hidden).size(), run);
        // The longest copy number the save could take still fits.
        const QByteArray longest =
            QFileInfo(WorkbookStem(output.path(), TextFromUtf8(folderName.toStdString()), at)).fileName().toUtf8() +
            "-10000.xlsx";
        QVERIFY(longest.size() <= 255);
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
