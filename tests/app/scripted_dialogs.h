#pragma once
// A stand-in for the message box and the folder chooser: it records what
// would have been shown and answers as the test scripted, so no dialog ever
// waits in a test.

#include <QMessageBox>
#include <QString>

#include <deque>
#include <functional>
#include <vector>

#include "app/ui_dialogs.h"

namespace quillmere::testing {

class ScriptedDialogs final : public app::UiDialogs {
public:
    QMessageBox::StandardButton ShowMessage(const app::MessageBoxRequest& request, QWidget* parent) override {
        messages.push_back(request);
        messageParents.push_back(parent);
        if (onMessage) onMessage(request);
        return messageAnswer;
    }

    QString ChooseFolder(const QString& title, const QString& startFolder, QWidget*) override {
        chooserTitles.push_back(title);
        chooserStarts.push_back(startFolder);
        if (folderAnswers.empty()) return QString();
        QString answer = folderAnswers.front();
        folderAnswers.pop_front();
        return answer;
    }

    std::vector<app::MessageBoxRequest> messages;
    std::vector<QWidget*> messageParents;
    QMessageBox::StandardButton messageAnswer = QMessageBox::Ok;
    // Runs while the box would be open, as the operator reads it.
    std::function<void(const app::MessageBoxRequest&)> onMessage;
    // Answers of the chooser in order; cancelled ("") once they run out.
    std::deque<QString> folderAnswers;
    std::vector<QString> chooserTitles;
    std::vector<QString> chooserStarts;
};

}  // namespace quillmere::testing
