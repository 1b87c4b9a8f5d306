// Per-file cost of the window's side of a run: the status line, the
// pending-event pass and the appended path, over the real window under the
// offscreen platform. Prints the mean cost per file for the first and last
// thousand files, so a cost that grows with the lines already in 编辑框1
// shows as a difference between the two.
//
// usage: ui_overhead [files]   (default 50000; QT_QPA_PLATFORM=offscreen)

#include <QApplication>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/qt_window_port.h"
#include "app/ui_dialogs.h"
#include "runtime/text_encoding.h"
#include "workflow/window_port.h"

namespace {

using namespace quillmere;
using Clock = std::chrono::steady_clock;

struct Phase {
    const char* name;
    bool appendPaths;
};

// The window calls one file makes in a run, in the run's order.
void OneFile(app::QtWindowPort& port, const Text& status, const Text& path, bool appendPath) {
    port.SetStatus(status);
    port.ProcessEvents();
    (void)port.ReadBatchFacts();
    if (appendPath) port.AppendToPathLog(path);
    (void)port.PathLogWanted();
    (void)port.CloseRequested();
}

double MicrosPerFile(Clock::duration elapsed, long files) {
    return std::chrono::duration<double, std::micro>(elapsed).count() / static_cast<double>(files);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const long files = argc > 1 ? std::atol(argv[1]) : 50000;
    constexpr long kBlock = 1000;
    if (files < 2 * kBlock) {
        std::fprintf(stderr, "ui_overhead: at least %ld files\n", 2 * kBlock);
        return 2;
    }

    const Text head = TextFromUtf8("文件总数：" + std::to_string(files) + "，正在提取第");
    const Text tail = TextFromUtf8("个文件的元数据...");
    std::vector<Text> paths;
    paths.reserve(static_cast<std::size_t>(files));
    for (long i = 1; i <= files; ++i) {
        char name[96];
        std::snprintf(name, sizeof name, "/srv/档案/2015/卷%02ld/盒%03ld/WS-2015-%06ld.jpg\r\n", i / 5000, i / 100, i);
        paths.push_back(TextFromUtf8(name));
    }

    std::printf("files: %ld, platform: %s\n", files, qPrintable(QGuiApplication::platformName()));
    for (const Phase phase : {Phase{"status + events", false}, Phase{"status + events + path", true}}) {
        app::MainWindow window;
        app::QtUiDialogs dialogs;
        app::QtWindowPort port(window, dialogs);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) return 1;

        std::vector<Clock::duration> blocks;
        const auto started = Clock::now();
        auto blockStart = started;
        for (long i = 1; i <= files; ++i) {
            OneFile(port, head + Text(std::to_string(i)) + tail, paths[static_cast<std::size_t>(i - 1)],
                    phase.appendPaths);
            if (i % kBlock == 0) {
                const auto now = Clock::now();
                blocks.push_back(now - blockStart);
                blockStart = now;
            }
        }
        const auto total = Clock::now() - started;
        std::printf("%-24s total %7.2f s, per file %6.1f us; first 1000 %6.1f us, last 1000 %6.1f us\n",
                    phase.name, std::chrono::duration<double>(total).count(), MicrosPerFile(total, files),
                    MicrosPerFile(blocks.front(), kBlock), MicrosPerFile(blocks.back(), kBlock));
    }
    return 0;
}
