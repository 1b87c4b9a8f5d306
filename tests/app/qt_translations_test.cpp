// Qt's own texts follow the operator's language. ctest runs this with
// LANG=zh_CN.UTF-8, as on a Chinese desktop.

#include <QDialogButtonBox>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "app/message_box_request.h"
#include "app/qt_translations.h"

using quillmere::app::BuildMessageBox;
using quillmere::app::MessageFor;
using quillmere::app::QtTranslations;

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

QString OkText() {
    const std::unique_ptr<QMessageBox> box = BuildMessageBox(MessageFor(Q("提取元数据完成"), quillmere::workflow::MessageKind::Plain), nullptr);
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    return ok ? ok->text() : QString();
}

QString CancelText() {
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    return buttons.button(QDialogButtonBox::Cancel)->text();
}

}  // namespace

class QtTranslationsTest : public QObject {
    Q_OBJECT

private slots:
    void theSystemLanguageIsChineseHere() {
        QCOMPARE(QLocale::system().name(), Q("zh_CN"));
    }

    void aChineseDesktopGetsChineseButtons() {
        QCOMPARE(OkText(), Q("OK"));
        {
            const QtTranslations translations(QLocale::system());
            QVERIFY(translations.installed());
            QCOMPARE(OkText(), Q("确定"));
            QCOMPARE(CancelText(), Q("取消"));
        }
        // Gone with the object.
        QCOMPARE(OkText(), Q("OK"));
    }

    void eachLanguageGetsItsOwnCatalogue_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("ok");
        QTest::newRow("simplified Chinese") << Q("zh_CN") << true << Q("确定");
        QTest::newRow("traditional Chinese") << Q("zh_TW") << true << Q("確定");
        QTest::newRow("English has none") << Q("en_US") << false << Q("OK");
    }

    void eachLanguageGetsItsOwnCatalogue() {
        QFETCH(QString, locale);
        QFETCH(bool, installed);
        QFETCH(QString, ok);
        const QtTranslations translations{QLocale(locale)};
        QCOMPARE(translations.installed(), installed);
        QCOMPARE(OkText(), ok);
    }

    void aFolderWithoutCataloguesLeavesQtsOwnTexts() {
        const QtTranslations translations(QLocale(Q("zh_CN")), Q("/nonexistent/quillmere/translations"));
        QVERIFY(!translations.installed());
        QCOMPARE(OkText(), Q("OK"));
    }
};

QTEST_MAIN(QtTranslationsTest)
#include "qt_translations_test.moc"
