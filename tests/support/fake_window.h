#pragma once
// A window double for workflow tests: it keeps what each typed operation
// set, records every status, message and appended line, keeps a log of the
// operations in order, and lets a test act from inside ProcessEvents or the
// folder chooser as a user would.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/text_encoding.h"
#include "workflow/window_port.h"

namespace quillmere::testing {

class FakeWindow final : public workflow::WindowPort {
public:
    struct Message {
        std::string text;  // UTF-8
        workflow::MessageKind kind;
    };

    workflow::BatchFacts ReadBatchFacts() const override {
        ++batchFactReads;
        return facts;
    }
    Text Folder() const override { return folder; }
    void SetFolder(const Text& text) override { folder = text; }
    void SetStatus(const Text& text) override {
        status = text;
        statuses.push_back(TextToUtf8(text));
        events.push_back("status:" + TextToUtf8(text));
    }
    bool PathLogWanted() const override { return pathLogWanted; }
    void AppendToPathLog(const Text& line) override { log += line; }
    void ShowNotes(const Text& notes) override {
        log = notes;
        events.push_back("notes");
    }
    void SetStartEnabled(bool enabled) override {
        startEnabled = enabled;
        events.push_back(enabled ? "start:on" : "start:off");
    }
    void ShowMessage(const Text& message, workflow::MessageKind kind) override {
        messages.push_back({TextToUtf8(message), kind});
        events.push_back("message");
        if (onMessage) onMessage();
    }
    void Minimise() override {
        minimised = true;
        events.push_back("minimise");
    }
    void ProcessEvents() override {
        ++processEventsCalls;
        if (onProcessEvents) onProcessEvents();
    }
    Text BrowseForFolder() override { return chooserAnswer; }
    bool CloseRequested() const override { return closeRequested; }
    bool OpenWorkbook(const std::string& path) override {
        opened.push_back(path);
        events.push_back("open");
        return openSucceeds;
    }
    void ReportProgress(std::int64_t done, std::int64_t total) override { progress.emplace_back(done, total); }
    void ReportSaving() override { events.push_back("saving"); }
    void ReportUnreadFolder(const Text& folder, const Text& reason) override {
        unreadFolders.emplace_back(TextToUtf8(folder), TextToUtf8(reason));
    }
    void ReportNotRead(const Text& path, const Text& reason) override {
        notRead.emplace_back(TextToUtf8(path), TextToUtf8(reason));
    }

    // Conveniences for tests.
    void SetFolderUtf8(const std::string& utf8) { folder = TextFromUtf8(utf8); }
    std::string FolderUtf8() const { return TextToUtf8(folder); }
    std::string LogUtf8() const { return TextToUtf8(log); }

    workflow::BatchFacts facts;
    Text folder;
    Text status;
    Text log;  // 编辑框1: the notes text or the path log
    bool pathLogWanted = false;
    bool startEnabled = false;  // 开始提取按钮 starts disabled
    bool minimised = false;
    bool closeRequested = false;
    bool openSucceeds = true;
    Text chooserAnswer;
    std::vector<std::string> statuses;
    std::vector<Message> messages;
    std::vector<std::string> opened;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    std::vector<std::pair<std::string, std::string>> notRead;
    std::vector<std::pair<std::string, std::string>> unreadFolders;
    std::vector<std::string> events;  // the visible operations, in order
    mutable int batchFactReads = 0;
    int processEventsCalls = 0;
    std::function<void()> onProcessEvents;
    std::function<void()> onMessage;  // runs while the box would be open
};

}  // namespace quillmere::testing
