#pragma once
// The window as the workflow sees it: control properties by name, and the
// four services (message box, pending events, appending to an edit box,
// folder chooser) over Qt. Texts cross as Text and are converted here.

#include <QString>

#include "app/folder_chooser_start.h"
#include "app/main_window.h"
#include "app/ui_dialogs.h"
#include "workflow/window_port.h"

namespace quillmere::app {

class QtWindowPort final : public workflow::WindowPort {
public:
    QtWindowPort(MainWindow& window, UiDialogs& dialogs);

    Text Content(std::string_view control) const override;
    void SetContent(std::string_view control, const Text& text) override;
    void SetDisabled(std::string_view control, bool disabled) override;
    int Checked(std::string_view control) const override;
    // 0 normal, 1 restored and centred, 2 minimised, 3 maximised; other
    // values are clamped into that range. A hidden window only remembers it.
    void SetPosition(int position) override;
    int ShowMessage(const Text& message, int flags) override;
    void ProcessEvents() override;
    void AppendText(std::string_view control, const Text& text) override;
    Text BrowseForFolder(const Text& title) override;
    bool CloseRequested() const override;

    // The last Position written, after clamping; 0 before any.
    int Position() const { return position_; }

private:
    MainWindow& window_;
    UiDialogs& dialogs_;
    FolderChooserStart chooserStart_;
    int position_ = 0;
};

// A chosen folder as the folder box shows it: the root keeps its separator,
// any other folder has none at the end.
QString FolderPathForBox(const QString& chosen);

}  // namespace quillmere::app
