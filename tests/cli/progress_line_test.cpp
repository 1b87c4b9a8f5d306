// The extractor's progress line: it fits any terminal width without
// wrapping, keeps the count as long as it can, and shows the save as a
// phase of its own.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <libintl.h>
#include <locale.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../support/english_locale.h"
#include "cli/progress_line.h"
#include "runtime/display_width.h"
#include "cli/translation.h"

namespace quillmere::cli {
namespace {

using enum ProgressPhase;

TEST(DisplayWidth, CountsWideCharactersTwice) {
    EXPECT_EQ(DisplayWidth(""), 0u);
    EXPECT_EQ(DisplayWidth("abc 12/3"), 8u);
    EXPECT_EQ(DisplayWidth("正在保存工作簿"), 14u);
    EXPECT_EQ(DisplayWidth("保存中 0:00:06"), 14u);
    EXPECT_EQ(DisplayWidth("ａ"), 2u);       // fullwidth Latin
    EXPECT_EQ(DisplayWidth("é…"), 2u);      // narrow, whatever their byte count
    EXPECT_EQ(DisplayWidth("𠀀x"), 3u);      // beyond the BMP
}

TEST(FormatProgressLine, AWideTerminalGetsEverything) {
    EXPECT_EQ(FormatProgressLine(250000, 1000000, 10.0, 120, Extracting),
              "[#######.......................] 250000/1000000 个文件  每秒 25000 个  剩余 0:00:30");
    EXPECT_EQ(FormatProgressLine(1000000, 1000000, 40.0, 120, Saving),
              "1000000/1000000 个文件  正在保存工作簿... 0:00:40");
}

// This process reads the build's English catalogue, in an English locale,
// for the length of one test.
class EnglishMessages {
public:
    EnglishMessages() {
        bindtextdomain(kTextDomain, QUILLMERE_BINARY_DIR "/share/locale");
        bind_textdomain_codeset(kTextDomain, "UTF-8");
        setenv("LOCPATH", quillmere::testing::EnglishLocaleFolder().c_str(), 1);
        made_ = setlocale(LC_MESSAGES, "en_US.UTF-8") != nullptr;  // also tells gettext to look again
    }
    ~EnglishMessages() {
        setlocale(LC_MESSAGES, "C");
        unsetenv("LOCPATH");
    }
    EnglishMessages(const EnglishMessages&) = delete;
    EnglishMessages& operator=(const EnglishMessages&) = delete;
    bool made() const { return made_; }

private:
    bool made_ = false;
};

TEST(FormatProgressLine, SpeaksTheRunsLanguage) {
    const EnglishMessages english;
    ASSERT_TRUE(english.made()) << "no en_US.UTF-8 (scripts/install-deps.sh test installs locales)";
    EXPECT_EQ(FormatProgressLine(250000, 1000000, 10.0, 120, Extracting),
              "[#######.......................] 250000/1000000 files  25000 files/s  0:00:30 left");
    EXPECT_EQ(FormatProgressLine(1, 1, 40.0, 120, Saving), "1/1 file  saving the workbook... 0:00:40");
    EXPECT_EQ(FormatProgressLine(1000000, 1000000, 6.0, 16, Saving), "saving 0:00:06");
}

TEST(FormatProgressLine, ANarrowTerminalKeepsTheCountAndABar) {
    EXPECT_EQ(FormatProgressLine(250000, 1000000, 10.0, 40, Extracting), "[###..........] 250000/1000000  0:00:30");
    EXPECT_EQ(FormatProgressLine(250000, 1000000, 10.0, 20, Extracting), "250000/1000000");
    EXPECT_EQ(FormatProgressLine(1000000, 1000000, 6.0, 44, Saving), "1000000/1000000  正在保存工作簿... 0:00:06");
    EXPECT_EQ(FormatProgressLine(1000000, 1000000, 6.0, 40, Saving), "正在保存工作簿... 0:00:06");
    EXPECT_EQ(FormatProgressLine(1000000, 1000000, 6.0, 30, Saving), "正在保存工作簿... 0:00:06");
    EXPECT_EQ(FormatProgressLine(1000000, 1000000, 6.0, 16, Saving), "保存中 0:00:06");
    EXPECT_EQ(FormatProgressLine(1000000, 1000000, 6.0, 9, Saving), "0:00:06");
}

TEST(FormatProgressLine, NothingFitsNoColumns) {
    EXPECT_EQ(FormatProgressLine(1, 2, 1.0, 1, Extracting), "");
    EXPECT_EQ(FormatProgressLine(1, 2, 1.0, 0, Saving), "");
    EXPECT_EQ(FormatProgressLine(1, 2, 1.0, -5, Extracting), "");
}

// Every width, every phase, from the first file to the last: the line
// leaves the last column free and is one line.
TEST(FormatProgressLine, NeverWrapsAtAnyWidth) {
    struct Case {
        std::int64_t done, total;
        double elapsed;
    };
    const Case cases[] = {{0, 1, 0.0}, {1, 3, 0.001}, {999, 1000, 2.5}, {123456789, 987654321, 86400.0 * 3},
                          {1000000, 1000000, 22.0}};
    for (const ProgressPhase phase : {Extracting, Saving}) {
        for (const Case& c : cases) {
            for (int width = 1; width <= 200; ++width) {
                const std::string line = FormatProgressLine(c.done, c.total, c.elapsed, width, phase);
                SCOPED_TRACE("width " + std::to_string(width) + ": " + line);
                EXPECT_LE(static_cast<int>(DisplayWidth(line)), width - 1);
                EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
                const std::string count = std::to_string(c.done) + "/" + std::to_string(c.total);
                if (width > static_cast<int>(count.size()) + 30) {
                    EXPECT_NE(line.find(count), std::string::npos);
                }
                if (phase == Saving && width >= 30) {
                    EXPECT_NE(line.find("正在保存工作簿"), std::string::npos);
                }
            }
        }
    }
}

TEST(FormatProgressLine, TheBarFillsWithTheFiles) {
    EXPECT_EQ(FormatProgressLine(0, 10, 1.0, 80, Extracting).substr(0, 32), "[" + std::string(30, '.') + "]");
    EXPECT_EQ(FormatProgressLine(5, 10, 1.0, 80, Extracting).substr(0, 32),
              "[" + std::string(15, '#') + std::string(15, '.') + "]");
    EXPECT_EQ(FormatProgressLine(10, 10, 1.0, 80, Extracting).substr(0, 32), "[" + std::string(30, '#') + "]");
}

// A pseudo-terminal 40 columns wide: what the line draws there, read back.
class Pty40 : public ::testing::Test {
protected:
    void SetUp() override {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        // A chroot or container without devpts mounted has no pseudo-terminals.
        if (master < 0) GTEST_SKIP() << "no pseudo-terminal to draw on: " << std::strerror(errno);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave, 0);
        winsize size{};
        size.ws_col = 40;
        size.ws_row = 24;
        ASSERT_EQ(ioctl(slave, TIOCSWINSZ, &size), 0);
        // Bytes as written, no line-ending translation.
        termios raw{};
        ASSERT_EQ(tcgetattr(slave, &raw), 0);
        cfmakeraw(&raw);
        ASSERT_EQ(tcsetattr(slave, TCSANOW, &raw), 0);
    }
    void TearDown() override {
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
    }
    std::string Drawn() {
        std::string out;
        const int flags = fcntl(master, F_GETFL);
        fcntl(master, F_SETFL, flags | O_NONBLOCK);
        char buffer[4096];
        for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
        return out;
    }
    int master = -1;
    int slave = -1;
};

TEST_F(Pty40, TheLineIsDrawnInPlaceWithinTheTerminalsWidth) {
    EXPECT_EQ(TerminalColumns(slave), 40);
    {
        ProgressLine line(slave);
        line.ShowFiles(1, 1000000);
        line.ShowFiles(1000000, 1000000);
        line.BeginSaving();
        line.Finish();
    }
    const std::string drawn = Drawn();
    // Each drawing starts at the line's start and clears what is left of it.
    std::size_t drawings = 0;
    for (std::size_t at = drawn.find('\r'); at != std::string::npos; at = drawn.find('\r', at + 1)) {
        const std::size_t end = drawn.find("\x1b[K", at);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(DisplayWidth(drawn.substr(at + 1, end - at - 1)), 39u);
        ++drawings;
    }
    EXPECT_EQ(drawings, 3u);
    EXPECT_NE(drawn.find("正在保存工作簿... 0:00:00"), std::string::npos);
    EXPECT_EQ(drawn.back(), '\n');
}

TEST(TerminalColumns, AnythingButATerminalCountsAsEighty) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_EQ(TerminalColumns(pipeEnds[1]), 80);
    EXPECT_EQ(TerminalColumns(-1), 80);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

}  // namespace
}  // namespace quillmere::cli
