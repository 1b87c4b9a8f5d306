#pragma once
// What the workflow may do to the window: control properties by name and the
// four UI services. The Qt window and the command-line extractor each
// implement it, so one RunExtraction drives both.

#include <cstdint>
#include <string_view>

#include "runtime/text.h"

namespace quillmere::workflow {

// Control names, as the window's control table spells them.
namespace control {
inline constexpr std::string_view kScanner = "扫描人编辑框";
inline constexpr std::string_view kMaker = "设备制造商编辑框";
inline constexpr std::string_view kModel = "设备型号编辑框";
inline constexpr std::string_view kProcessor = "图像处理人编辑框";
inline constexpr std::string_view kSoftware = "数字化软件描述编辑框";
inline constexpr std::string_view kFolder = "图像文件夹编辑框";
inline constexpr std::string_view kChooseButton = "选择文件夹按钮";
inline constexpr std::string_view kStartButton = "开始提取按钮";
inline constexpr std::string_view kStatus = "状态编辑框";
inline constexpr std::string_view kShowNames = "显示文件名选择框";
inline constexpr std::string_view kNotes = "编辑框1";
}  // namespace control

// Message box flags the workflow uses.
inline constexpr int kMessagePlain = 0;
inline constexpr int kMessageWarning = 0x30;

// Window Position values.
inline constexpr int kPositionMinimised = 2;

class WindowPort {
public:
    virtual ~WindowPort() = default;

    virtual Text Content(std::string_view control) const = 0;
    virtual void SetContent(std::string_view control, const Text& text) = 0;
    virtual void SetDisabled(std::string_view control, bool disabled) = 0;
    virtual int Checked(std::string_view control) const = 0;
    virtual void SetPosition(int position) = 0;

    // A modal box with the default caption; returns the button pressed.
    virtual int ShowMessage(const Text& message, int flags) = 0;
    // Handles whatever events are pending, then returns; never waits.
    virtual void ProcessEvents() = 0;
    virtual void AppendText(std::string_view control, const Text& text) = 0;
    // The chosen folder, or the empty text when cancelled.
    virtual Text BrowseForFolder(const Text& title) = 0;

    // True once the user has asked to close the window: a run in progress
    // stops after the current file and keeps what it wrote.
    virtual bool CloseRequested() const = 0;
    // Files done of the total, once per file; for progress displays other
    // than the status box.
    virtual void ReportProgress(std::int64_t done, std::int64_t total) { (void)done; (void)total; }
    // A file no decoder accepted or that could not be read; reason as the
    // probe left it.
    virtual void ReportNotRead(const Text& path, const Text& reason) {
        (void)path;
        (void)reason;
    }
};

}  // namespace quillmere::workflow
