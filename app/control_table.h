#pragma once
// The window's fixed control table: every control with its name, kind,
// client-area rectangle and caption. The window is built from it and nothing
// else, so this is the one place a control's place or caption is written.

#include <QRect>
#include <QSize>

#include <span>
#include <string_view>

namespace quillmere::app {

enum class ControlKind {
    Label,      // one line, left-aligned, vertically centred, no frame
    InputBox,   // single-line edit box the operator types into
    Button,     // push button
    StatusBox,  // single-line, centred, disabled: the program writes, nobody types
    CheckBox,   // two-state, caption to the right of the box
    NotesBox,   // multi-line, read-only, centred lines, no wrapping
};

// What the program does with a control; the window port reaches controls
// by role, so no name is spelled twice.
enum class ControlRole {
    None,  // labels: shown, never read or written
    Scanner,
    Maker,
    Model,
    Processor,
    Software,
    Folder,
    ChooseButton,
    StartButton,
    Status,
    ShowNames,
    Acceptance,   // 同时检验: the run also judges the batch against its rules
    RulesButton,  // 检验要求…: edits those rules
    Notes,
};

struct ControlRow {
    std::string_view name;     // UTF-8; also the widget's objectName
    ControlKind kind;
    QRect rect;                // in the window's client area
    std::string_view caption;  // UTF-8; empty for edit boxes
    ControlRole role = ControlRole::None;
};

inline constexpr std::string_view kWindowCaption = "Quillmere";

// The outer size the window was laid out for, frame included.
inline constexpr QSize kOuterSize{882, 559};
// The client area. The window manager draws the frame on this platform, so
// the outer size cannot be set; the client area is the outer size less a
// thin frame and keeps the same 12-pixel margin at the right and bottom as
// the controls keep at the left and top.
inline constexpr QSize kClientSize{872, 532};

// Controls in table order, which is also the keyboard focus order: the six
// input boxes come in their numbered order, 扫描人编辑框 first.
std::span<const ControlRow> ControlTable();

// The table's row for a role; every role but None has exactly one.
const ControlRow& ControlFor(ControlRole role);

}  // namespace quillmere::app
