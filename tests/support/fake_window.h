#pragma once
// A window double for workflow tests: it keeps control contents, records
// every status, message and appended text, and lets a test act from inside
// ProcessEvents or the folder chooser as a user would.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/text_encoding.h"
#include "workflow/window_port.h"

namespace quillmere::testing {

class FakeWindow final : public workflow::WindowPort {
public:
    struct Message {
        std::string text;  // UTF-8
        int flags;
    };

    FakeWindow() { disabled[std::string(workflow::control::kStartButton)] = true; }

    Text Content(std::string_view control) const override {
        const auto found = contents.find(std::string(control));
        return found == contents.end() ? Text() : found->second;
    }
    void SetContent(std::string_view control, const Text& text) override {
        contents[std::string(control)] = text;
        if (control == workflow::control::kStatus) statuses.push_back(TextToUtf8(text));
    }
    void SetDisabled(std::string_view control, bool value) override { disabled[std::string(control)] = value; }
    int Checked(std::string_view control) const override {
        const auto found = checked.find(std::string(control));
        return found != checked.end() && found->second ? 1 : 0;
    }
    void SetPosition(int value) override { position = value; }
    int ShowMessage(const Text& message, int flags) override {
        messages.push_back({TextToUtf8(message), flags});
        return 0;
    }
    void ProcessEvents() override {
        ++processEventsCalls;
        if (onProcessEvents) onProcessEvents();
    }
    void AppendText(std::string_view control, const Text& text) override {
        contents[std::string(control)] += text;
    }
    Text BrowseForFolder(const Text&) override { return chooserAnswer; }
    bool CloseRequested() const override { return closeRequested; }

    // Convenience for tests.
    void Set(std::string_view control, const std::string& utf8) { SetContent(control, TextFromUtf8(utf8)); }
    std::string Get(std::string_view control) const { return TextToUtf8(Content(control)); }
    bool IsDisabled(std::string_view control) const {
        const auto found = disabled.find(std::string(control));
        return found != disabled.end() && found->second;
    }

    std::map<std::string, Text> contents;
    std::map<std::string, bool> disabled;
    std::map<std::string, bool> checked;
    std::vector<std::string> statuses;
    std::vector<Message> messages;
    int position = -1;
    int processEventsCalls = 0;
    bool closeRequested = false;
    Text chooserAnswer;
    std::function<void()> onProcessEvents;
};

}  // namespace quillmere::testing
