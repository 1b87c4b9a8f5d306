#pragma once
// The 检验要求 dialog: edits the acceptance rules file the window's runs
// are judged against. It shows what the file holds, and saves only rules
// that read back whole (the catalogue included); what is wrong is said in
// the dialog, which stays open.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QString>

#include <functional>
#include <string>

namespace quillmere::app {

class AcceptanceRulesDialog : public QDialog {
    Q_OBJECT

public:
    // The catalogue file the operator picks, starting at start; empty when cancelled.
    using CatalogueChooser = std::function<QString(QWidget* parent, const QString& start)>;

    // rulesPath: the file to read and write (UTF-8 path).
    AcceptanceRulesDialog(QString rulesPath, CatalogueChooser chooseCatalogue, QWidget* parent = nullptr);

    // Checks the rules and writes them; false, with the reason shown, when they are not usable or not saved.
    bool save();
    // The rules the fields state, in the file's form.
    std::string rulesText() const;
    QString problem() const { return problem_->text(); }

public slots:
    void accept() override;

private:
    void createFields();
    void load();
    void chooseCatalogue();
    void showProblem(const QString& text);

    QString rulesPath_;
    CatalogueChooser chooser_;
    QLineEdit* resolution_ = nullptr;
    QLineEdit* colourModes_ = nullptr;
    QLineEdit* formats_ = nullptr;
    QLineEdit* jpegQuality_ = nullptr;
    QCheckBox* checkFiles_ = nullptr;
    QCheckBox* oneFormat_ = nullptr;
    QCheckBox* pageSequence_ = nullptr;
    QComboBox* firstPage_ = nullptr;
    QCheckBox* repeatedPages_ = nullptr;
    QLineEdit* catalogue_ = nullptr;
    QLineEdit* archiveColumn_ = nullptr;
    QLineEdit* pagesColumn_ = nullptr;
    QCheckBox* digests_ = nullptr;
    QLabel* problem_ = nullptr;
};

// The rules file in the user's configuration folder (XDG_CONFIG_HOME, else ~/.config).
QString DefaultAcceptanceRulesPath();

// The platform's file chooser, for CSV files.
QString ChooseCatalogueFile(QWidget* parent, const QString& start);

}  // namespace quillmere::app
