// The acceptance check in the window: the 同时检验 box and the 检验要求
// button beside 显示文件名, the rules dialog and the file it keeps, and the
// completion box's extra line.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>

#include "../support/jpeg_fixture.h"
#include "../support/memory_workbook.h"
#include "../support/temp_tree.h"
#include "app/acceptance_rules_dialog.h"
#include "app/extraction_session.h"
#include "app/main_window.h"
#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "scripted_dialogs.h"
#include "typing.h"
#include "workflow/acceptance_rules.h"

using namespace quillmere;
using quillmere::testing::ScriptedDialogs;
using quillmere::testing::TypeText;

namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

std::string Scan(int width) {
    return quillmere::testing::MakeJpeg(
        {.width = width, .height = 8, .components = 3, .densityUnit = 1, .density = 300});
}

template <typename Widget>
Widget* Child(QWidget& parent, const char* name) {
    return parent.findChild<Widget*>(Q(name));
}

}  // namespace

class AcceptanceWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        tree = std::make_unique<quillmere::testing::TempTree>();
        tree->File("scan/A001-0001.jpg", Scan(8));
        tree->File("scan/A001-0003.jpg", Scan(9));
        rulesPath = Q(tree->Path("config/quillmere/验收要求.ini"));
        window = std::make_unique<app::MainWindow>();
        dialogs = std::make_unique<ScriptedDialogs>();
        app::SessionServices services;
        services.workbookFolder = Q(tree->Path("out"));
        services.clock = [] { return QDateTime(QDate(2015, 3, 7), QTime(14, 5, 9)); };
        services.openWorkbook = [](const QString&) { return true; };
        services.settings.pool = workflow::FixedPreparePool(2);
        services.workbookMaker = &maker;
        services.rulesPath = rulesPath;
        services.editRules = [this](const QString& path, QWidget* parent) {
            editedPaths << path;
            editParents.push_back(parent);
        };
        session = std::make_unique<app::ExtractionSession>(*window, *dialogs, std::move(services));
        session->Start();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void cleanup() {
        session.reset();
        dialogs.reset();
        window.reset();
        tree.reset();
        editedPaths.clear();
        editParents.clear();
    }

    void theNewControlsStandBesideTheFileNamesBoxAndTheOthersKeepTheirPlaces() {
        auto* showNames = Child<QCheckBox>(*window, "显示文件名选择框");
        auto* checked = Child<QCheckBox>(*window, "同时检验选择框");
        auto* rules = Child<QPushButton>(*window, "检验要求按钮");
        QVERIFY(showNames && checked && rules);
        QCOMPARE(showNames->geometry(), QRect(8, 160, 80, 24));
        QCOMPARE(checked->geometry(), QRect(8, 192, 80, 24));
        QCOMPARE(rules->geometry(), QRect(8, 224, 80, 28));
        QCOMPARE(checked->text(), Q("同时检验"));
        QCOMPARE(rules->text(), Q("检验要求…"));
        QVERIFY(!checked->isChecked());
        QVERIFY(rules->isEnabled());
        // Clear of the notes box and inside the window.
        QVERIFY(!checked->geometry().intersects(window->control("编辑框1")->geometry()));
        QVERIFY(!rules->geometry().intersects(window->control("编辑框1")->geometry()));
        QVERIFY(window->rect().contains(rules->geometry()));
        QVERIFY(window->missingControls().empty());
    }

    void theRulesButtonOpensTheEditorOnTheConfigurationFile() {
        QTest::mouseClick(Child<QPushButton>(*window, "检验要求按钮"), Qt::LeftButton);
        QCOMPARE(editedPaths, QStringList{rulesPath});
        QCOMPARE(editParents.front(), static_cast<QWidget*>(window.get()));
        QVERIFY(dialogs->messages.empty());
    }

    void aCheckedRunAddsTheOutcomeToTheCompletionBox_data() {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<QString>("line");
        QTest::newRow("findings") << Q("[验收要求]\n页号 = 是\n") << Q("验收检查：发现1个问题，见工作表“检验结果”。");
        QTest::newRow("none") << Q("[验收要求]\n最低分辨率 = 300\n") << Q("验收检查：全部合格。");
    }

    void aCheckedRunAddsTheOutcomeToTheCompletionBox() {
        QFETCH(QString, rules);
        QFETCH(QString, line);
        tree->File("config/quillmere/验收要求.ini", rules.toStdString());
        CheckTheBox();
        Start();
        QCOMPARE(dialogs->messages.size(), std::size_t{1});
        QCOMPARE(dialogs->messages[0].text,
                 Q("提取元数据完成，本次共提取2个文件的元数据信息。\n") + line + Q("\n") + Q(maker.path));
        QCOMPARE(maker.namedSheets.size(), std::size_t{2});
        QCOMPARE(Q(maker.namedSheets[0].first), Q("检验结果"));
    }

    void anUncheckedBoxRunsWithoutTheRules() {
        tree->File("config/quillmere/验收要求.ini", "[验收要求]\n页号 = 是\n");
        Start();
        QCOMPARE(dialogs->messages.size(), std::size_t{1});
        QCOMPARE(dialogs->messages[0].text, Q("提取元数据完成，本次共提取2个文件的元数据信息。\n") + Q(maker.path));
        QVERIFY(maker.namedSheets.empty());
    }

    void rulesNotSetOrNotUsableStopTheRunBeforeItStarts_data() {
        QTest::addColumn<QString>("rules");  // empty: no file
        QTest::addColumn<QString>("message");
        QTest::newRow("no rules yet") << QString() << Q("尚未设置检验要求，请先点击“检验要求…”按钮设置。");
        QTest::newRow("a line not understood")
            << Q("[验收要求]\n页号 = 也许\n") << Q("检验要求文件{rules}第2行：“页号”的值“也许”无效，应为是或否");
    }

    void rulesNotSetOrNotUsableStopTheRunBeforeItStarts() {
        QFETCH(QString, rules);
        QFETCH(QString, message);
        if (!rules.isEmpty()) tree->File("config/quillmere/验收要求.ini", rules.toStdString());
        CheckTheBox();
        const int creates = maker.creates;
        Start();
        QCOMPARE(dialogs->messages.size(), std::size_t{1});
        QCOMPARE(dialogs->messages[0].text, QString(message).replace(Q("{rules}"), rulesPath));
        QCOMPARE(dialogs->messages[0].icon, QMessageBox::Warning);
        QCOMPARE(maker.creates, creates);
        QVERIFY(Child<QPushButton>(*window, "开始提取按钮")->isEnabled());
    }

    // ---- the dialog ----

    void theDialogSavesRulesThatReadBackAsTheFieldsSay() {
        tree->File("data/目录.csv", "档号,页数\nA001,2\n");
        const QString catalogue = Q(tree->Path("data/目录.csv"));
        QStringList chooserStarts;
        app::AcceptanceRulesDialog dialog(rulesPath, [&](QWidget*, const QString& start) {
            chooserStarts << start;
            return catalogue;
        });
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        TypeText(Child<QLineEdit>(dialog, "最低分辨率"), Q("300"));
        TypeText(Child<QLineEdit>(dialog, "色彩模式"), Q("真彩色, 256色"));
        TypeText(Child<QLineEdit>(dialog, "格式"), Q("jpg"));
        TypeText(Child<QLineEdit>(dialog, "最低JPEG质量"), Q("75"));
        for (const char* box : {"检查文件", "格式一致", "页号", "重复页面", "摘要"}) {
            QTest::mouseClick(Child<QCheckBox>(dialog, box), Qt::LeftButton, {}, QPoint(6, 6));
        }
        Child<QComboBox>(dialog, "起始页号")->setCurrentIndex(1);
        QTest::mouseClick(Child<QPushButton>(dialog, "选择目录按钮"), Qt::LeftButton);
        QCOMPARE(chooserStarts.size(), 1);
        QCOMPARE(Child<QLineEdit>(dialog, "目录")->text(), catalogue);

        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        RealFileSystem fs;
        const workflow::RulesReading reading = workflow::LoadAcceptanceRules(fs, rulesPath.toStdString());
        QVERIFY2(reading.rules.has_value(), reading.failure.reason.c_str());
        const workflow::AcceptanceRules& rules = *reading.rules;
        QCOMPARE(rules.lowestResolution.value_or(0), 300);
        QCOMPARE(rules.colourModes->size(), std::size_t{2});
        QCOMPARE(Q(TextToUtf8(rules.formats->front())), Q("JPG"));
        QCOMPARE(rules.lowestJpegQuality.value_or(0), 75);
        QVERIFY(rules.checkFiles && rules.oneFormat && rules.pageSequence && rules.repeatedPages && rules.digests);
        QCOMPARE(rules.firstPage, 0);
        QCOMPARE(rules.catalogue->entries.size(), std::size_t{1});

        // Opened again, the dialog shows what the file holds.
        app::AcceptanceRulesDialog again(rulesPath, nullptr);
        QCOMPARE(Child<QLineEdit>(again, "最低分辨率")->text(), Q("300"));
        QCOMPARE(Child<QLineEdit>(again, "色彩模式")->text(), Q("真彩色, 256色"));
        QCOMPARE(Child<QLineEdit>(again, "目录")->text(), catalogue);
        QCOMPARE(Child<QComboBox>(again, "起始页号")->currentText(), Q("0"));
        QVERIFY(Child<QCheckBox>(again, "摘要")->isChecked());
        QVERIFY(again.problem().isEmpty());
    }

    void rulesThatCannotBeUsedKeepTheDialogOpenAndSaveNothing_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("problem");
        QTest::newRow("resolution") << Q("最低分辨率") << Q("三百")
                                    << Q("“最低分辨率”的值“三百”无效，应为正整数（DPI）");
        QTest::newRow("colour mode") << Q("色彩模式") << Q("彩色")
                                     << Q("“色彩模式”的值“彩色”无效，应为真彩色或“数字+色”（如256色），以逗号分隔");
        QTest::newRow("missing catalogue")
            << Q("目录") << Q("/nowhere/目录.csv") << Q("无法读取目录文件/nowhere/目录.csv：…");
    }

    void rulesThatCannotBeUsedKeepTheDialogOpenAndSaveNothing() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, problem);
        app::AcceptanceRulesDialog dialog(rulesPath, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        TypeText(dialog.findChild<QLineEdit*>(field), value);
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        if (problem.endsWith(Q("…"))) {
            QVERIFY2(dialog.problem().startsWith(problem.chopped(1)), qPrintable(dialog.problem()));
        } else {
            QCOMPARE(dialog.problem(), problem);
        }
        QVERIFY(!QFile::exists(rulesPath));
    }

    void aRulesFileNotUnderstoodIsShownAndReplacedOnSave() {
        tree->File("config/quillmere/验收要求.ini", "[验收要求]\n最低分辩率 = 300\n");
        app::AcceptanceRulesDialog dialog(rulesPath, nullptr);
        QVERIFY2(dialog.problem().contains(Q("第2行：不认识的键“最低分辩率”")), qPrintable(dialog.problem()));
        TypeText(Child<QLineEdit>(dialog, "最低分辨率"), Q("300"));
        QVERIFY(dialog.save());
        QFile file(rulesPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), Q("[验收要求]\n最低分辨率 = 300\n"));
    }

private:
    void CheckTheBox() {
        auto* box = Child<QCheckBox>(*window, "同时检验选择框");
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        QVERIFY(box->isChecked());
    }
    void Start() {
        dialogs->folderAnswers.push_back(Q(tree->Path("scan")));
        QTest::mouseClick(Child<QPushButton>(*window, "选择文件夹按钮"), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(*window, "开始提取按钮"), Qt::LeftButton);
    }

    std::unique_ptr<quillmere::testing::TempTree> tree;
    QString rulesPath;
    quillmere::testing::MemoryWorkbookMaker maker;
    std::unique_ptr<app::MainWindow> window;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<app::ExtractionSession> session;
    QStringList editedPaths;
    std::vector<QWidget*> editParents;
};

QTEST_MAIN(AcceptanceWindowTest)
#include "acceptance_window_test.moc"
