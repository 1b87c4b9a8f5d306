#pragma once
// The window as the workflow sees it: each typed operation mapped onto the
// control that plays its role in the control table, and the services
// (message box, pending events, folder chooser, handing the workbook to the
// desktop) over Qt. Texts cross as Text and are converted here.

#include <QString>

#include <functional>

#include "app/folder_chooser_start.h"
#include "app/main_window.h"
#include "app/ui_dialogs.h"
#include "workflow/window_port.h"

namespace quillmere::app {

// Opens a saved workbook in the desktop's application; false when the
// desktop could not take it.
using WorkbookOpener = std::function<bool(const QString& path)>;

// The desktop's own handler for the file's type.
WorkbookOpener DesktopWorkbookOpener();

class QtWindowPort final : public workflow::WindowPort {
public:
    QtWindowPort(MainWindow& window, UiDialogs& dialogs, WorkbookOpener opener = DesktopWorkbookOpener());

    workflow::BatchFacts ReadBatchFacts() const override;
    Text Folder() const override;
    void SetFolder(const Text& folder) override;
    void SetStatus(const Text& status) override;
    bool PathLogWanted() const override;
    void AppendToPathLog(const Text& line) override;
    void ShowNotes(const Text& notes) override;
    void SetStartEnabled(bool enabled) override;
    void ShowMessage(const Text& message, workflow::MessageKind kind) override;
    // Minimises a shown window; a hidden one stays hidden.
    void Minimise() override;
    void ProcessEvents() override;
    Text BrowseForFolder() override;
    bool CloseRequested() const override;
    bool OpenWorkbook(const std::string& path) override;

private:
    Text LineText(ControlRole role) const;
    void SetLineText(ControlRole role, const Text& text);

    MainWindow& window_;
    UiDialogs& dialogs_;
    WorkbookOpener opener_;
    FolderChooserStart chooserStart_;
};

// A chosen folder as the folder box shows it: the root keeps its separator,
// any other folder has none at the end.
QString FolderPathForBox(const QString& chosen);

}  // namespace quillmere::app
