#pragma once
// What the workflow may do to the window, as typed operations: the batch
// facts, the folder, the status line, the path log, the start button,
// messages, minimising, the folder chooser and event processing. The Qt
// window and the command-line extractor each implement it, so one
// RunExtraction drives both.

#include <cstdint>
#include <string>

#include "runtime/text.h"

namespace quillmere::workflow {

// The five facts the operator types once for a batch; every file's row
// carries them as they stand when that row is written.
struct BatchFacts {
    Text scanner;
    Text maker;
    Text model;
    Text processor;
    Text software;
};

enum class MessageKind {
    Plain,    // an OK button, no icon
    Warning,  // an OK button with the warning icon
};

class WindowPort {
public:
    virtual ~WindowPort() = default;

    virtual BatchFacts ReadBatchFacts() const = 0;

    // The folder box, exactly as it reads.
    virtual Text Folder() const = 0;
    virtual void SetFolder(const Text& folder) = 0;

    // Replaces the whole status line.
    virtual void SetStatus(const Text& status) = 0;

    // Whether the operator wants each processed path listed, asked once per file.
    virtual bool PathLogWanted() const = 0;
    // Adds one line at the end of the log and keeps it in view.
    virtual void AppendToPathLog(const Text& line) = 0;
    // Replaces whatever the log box holds by the notes text.
    virtual void ShowNotes(const Text& notes) = 0;

    virtual void SetStartEnabled(bool enabled) = 0;

    // A modal box; returns once the operator has closed it.
    virtual void ShowMessage(const Text& message, MessageKind kind) = 0;
    virtual void Minimise() = 0;
    // Handles whatever events are pending, then returns; never waits.
    virtual void ProcessEvents() = 0;
    // The chosen folder, or the empty text when cancelled.
    virtual Text BrowseForFolder() = 0;

    // True once the operator (or the system) has asked the program to stop:
    // a run in progress stops after the current file.
    virtual bool CloseRequested() const = 0;

    // Hands the saved workbook (UTF-8 path) to the desktop's spreadsheet
    // application; false when it could not be handed over.
    virtual bool OpenWorkbook(const std::string& path) = 0;

    // Files done of the total, once per file; for progress displays other
    // than the status line.
    virtual void ReportProgress(std::int64_t done, std::int64_t total) {
        (void)done;
        (void)total;
    }
    // Every row is written; the workbook is being saved now.
    virtual void ReportSaving() {}
    // A file no decoder accepted or that could not be read; reason as the
    // probe left it.
    virtual void ReportNotRead(const Text& path, const Text& reason) {
        (void)path;
        (void)reason;
    }
    // A folder the scan could not read whole (reason: the system's), once
    // each, after the scan.
    virtual void ReportUnreadFolder(const Text& folder, const Text& reason) {
        (void)folder;
        (void)reason;
    }
};

}  // namespace quillmere::workflow
