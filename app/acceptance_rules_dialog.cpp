#include "app/acceptance_rules_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "workflow/acceptance_rules.h"

namespace quillmere::app {

namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

QString JoinTexts(const std::vector<Text>& texts) {
    QStringList items;
    for (const Text& text : texts) items << Q(TextToUtf8(text));
    return items.join(QStringLiteral(", "));
}

void AddLine(std::string& text, const char* key, const QString& value) {
    const QString trimmed = value.trimmed();
    if (trimmed.isEmpty()) return;
    text += key;
    text += " = " + trimmed.toStdString() + "\n";
}

void AddSwitch(std::string& text, const char* key, const QCheckBox* box) {
    if (box->isChecked()) text += std::string(key) + " = 是\n";
}

}  // namespace

QString DefaultAcceptanceRulesPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/quillmere/") +
           Q("验收要求.ini");
}

QString ChooseCatalogueFile(QWidget* parent, const QString& start) {
    return QFileDialog::getOpenFileName(parent, Q("选择目录文件"), start, Q("CSV 文件 (*.csv);;所有文件 (*)"));
}

AcceptanceRulesDialog::AcceptanceRulesDialog(QString rulesPath, CatalogueChooser chooseCatalogue, QWidget* parent)
    : QDialog(parent), rulesPath_(std::move(rulesPath)), chooser_(std::move(chooseCatalogue)) {
    setWindowTitle(Q("检验要求"));
    createFields();
    load();
}

void AcceptanceRulesDialog::createFields() {
    auto* form = new QFormLayout;
    const auto line = [this, form](const char* label, const char* name, const char* placeholder) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(Q(name));
        edit->setPlaceholderText(Q(placeholder));
        form->addRow(Q(label), edit);
        return edit;
    };
    const auto box = [this, form](const char* caption, const char* name) {
        auto* check = new QCheckBox(Q(caption), this);
        check->setObjectName(Q(name));
        form->addRow(QString(), check);
        return check;
    };
    resolution_ = line("最低分辨率（DPI）", "最低分辨率", "不检查");
    colourModes_ = line("色彩模式", "色彩模式", "如 真彩色, 256色；空为不检查");
    formats_ = line("格式", "格式", "如 JPG, TIF；空为不检查");
    jpegQuality_ = line("最低JPEG质量（%）", "最低JPEG质量", "不检查");
    checkFiles_ = box("检查文件（空文件、无法识别、非图像文件、扩展名与内容）", "检查文件");
    oneFormat_ = box("全批一种格式", "格式一致");
    pageSequence_ = box("档号加页号：缺页、页号重复、页号位数", "页号");
    firstPage_ = new QComboBox(this);
    firstPage_->setObjectName(Q("起始页号"));
    firstPage_->addItems({QStringLiteral("1"), QStringLiteral("0")});
    form->addRow(Q("起始页号"), firstPage_);
    repeatedPages_ = box("重复页面（内容相同的文件）", "重复页面");

    catalogue_ = new QLineEdit(this);
    catalogue_->setObjectName(Q("目录"));
    catalogue_->setPlaceholderText(Q("不核对目录"));
    auto* chooseButton = new QPushButton(Q("选择…"), this);
    chooseButton->setObjectName(Q("选择目录按钮"));
    chooseButton->setAutoDefault(false);
    connect(chooseButton, &QPushButton::clicked, this, &AcceptanceRulesDialog::chooseCatalogue);
    auto* catalogueRow = new QHBoxLayout;
    catalogueRow->addWidget(catalogue_);
    catalogueRow->addWidget(chooseButton);
    form->addRow(Q("目录文件（CSV）"), catalogueRow);
    archiveColumn_ = line("目录档号列", "目录档号列", "档号");
    pagesColumn_ = line("目录页数列", "目录页数列", "页数");
    digests_ = box("摘要（SM3和SHA-256，工作表“文件摘要”和校验清单）", "摘要");

    problem_ = new QLabel(this);
    problem_->setObjectName(Q("问题"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &AcceptanceRulesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AcceptanceRulesDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
}

void AcceptanceRulesDialog::load() {
    RealFileSystem fs;
    const std::string path = rulesPath_.toStdString();
    if (!fs.Status(path).exists) return;
    std::string failure;
    const auto stream = fs.OpenRegularFile(path, failure);
    std::string text;
    if (stream) {
        text.resize(static_cast<std::size_t>(stream->Size()));
        text.resize(stream->Read(text.data(), 1, text.size()));
    }
    const workflow::RulesReading reading = workflow::ParseAcceptanceRules(text);
    if (!stream || !reading.rules) {
        showProblem(
            Q(workflow::DescribeRulesFailure(path, stream ? reading.failure : workflow::RulesFailure(0, Message("%s", {failure})))) +
            Q("\n保存将替换这个文件。"));
        return;
    }
    const workflow::AcceptanceRules& rules = *reading.rules;
    if (rules.lowestResolution) resolution_->setText(QString::number(*rules.lowestResolution));
    if (rules.colourModes) colourModes_->setText(JoinTexts(*rules.colourModes));
    if (rules.formats) formats_->setText(JoinTexts(*rules.formats));
    if (rules.lowestJpegQuality) jpegQuality_->setText(QString::number(*rules.lowestJpegQuality));
    checkFiles_->setChecked(rules.checkFiles);
    oneFormat_->setChecked(rules.oneFormat);
    pageSequence_->setChecked(rules.pageSequence);
    firstPage_->setCurrentIndex(rules.firstPage == 0 ? 1 : 0);
    repeatedPages_->setChecked(rules.repeatedPages);
    catalogue_->setText(Q(rules.cataloguePath));
    archiveColumn_->setText(Q(TextToUtf8(rules.catalogueArchiveColumn)));
    pagesColumn_->setText(Q(TextToUtf8(rules.cataloguePagesColumn)));
    digests_->setChecked(rules.digests);
}

std::string AcceptanceRulesDialog::rulesText() const {
    std::string text = "[" + std::string(workflow::kRulesSection) + "]\n";
    AddLine(text, "最低分辨率", resolution_->text());
    AddLine(text, "色彩模式", colourModes_->text());
    AddLine(text, "格式", formats_->text());
    AddLine(text, "最低JPEG质量", jpegQuality_->text());
    AddSwitch(text, "检查文件", checkFiles_);
    AddSwitch(text, "格式一致", oneFormat_);
    AddSwitch(text, "页号", pageSequence_);
    if (pageSequence_->isChecked()) AddLine(text, "起始页号", firstPage_->currentText());
    AddSwitch(text, "重复页面", repeatedPages_);
    if (!catalogue_->text().trimmed().isEmpty()) {
        AddLine(text, "目录", catalogue_->text());
        AddLine(text, "目录档号列", archiveColumn_->text());
        AddLine(text, "目录页数列", pagesColumn_->text());
    }
    AddSwitch(text, "摘要", digests_);
    return text;
}

bool AcceptanceRulesDialog::save() {
    const std::string text = rulesText();
    RealFileSystem fs;
    const workflow::RulesReading reading = workflow::ReadAcceptanceRules(fs, text, rulesPath_.toStdString());
    if (!reading.rules) {
        // The line number is of the text the dialog made; the reason names the field.
        showProblem(Q(reading.failure.reason));
        return false;
    }
    QDir().mkpath(QFileInfo(rulesPath_).absolutePath());
    QSaveFile file(rulesPath_);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit()) {
        showProblem(Q("无法保存检验要求：") + rulesPath_ + Q("（") + file.errorString() + Q("）"));
        return false;
    }
    showProblem(QString());
    return true;
}

void AcceptanceRulesDialog::accept() {
    if (save()) QDialog::accept();
}

void AcceptanceRulesDialog::chooseCatalogue() {
    const QString start =
        catalogue_->text().isEmpty() ? QDir::homePath() : QFileInfo(catalogue_->text()).absolutePath();
    const QString chosen = chooser_ ? chooser_(this, start) : QString();
    if (!chosen.isEmpty()) catalogue_->setText(chosen);
}

void AcceptanceRulesDialog::showProblem(const QString& text) { problem_->setText(text); }

}  // namespace quillmere::app
