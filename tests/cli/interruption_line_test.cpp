// The lines the extractor ends with when a signal comes: built without
// allocation inside the handler, so the digits are its own work.

#include "cli/interruption.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace quillmere::cli {
namespace {

TEST(InterruptedLine, CountsTheRowsInPlainDigits) {
    struct Case {
        int signal;
        std::int64_t rows;
        const char* line;
    };
    const Case cases[] = {
        {SIGINT, 0, "quillmere-extract: 已中断（SIGINT）：已写入0行，工作簿未保存。"},
        {SIGTERM, 7, "quillmere-extract: 已中断（SIGTERM）：已写入7行，工作簿未保存。"},
        {SIGTERM, 1048575, "quillmere-extract: 已中断（SIGTERM）：已写入1048575行，工作簿未保存。"},
        {SIGINT, 9223372036854775807, "quillmere-extract: 已中断（SIGINT）：已写入9223372036854775807行，工作簿未保存。"},
    };
    for (const Case& c : cases) EXPECT_EQ(InterruptedLine(c.signal, c.rows), c.line) << c.rows;
}

TEST(InterruptedLine, LateSignalSaysTheWorkbookIsWhole) {
    EXPECT_EQ(LateSignalLine(SIGINT), "收到SIGINT时工作簿已经保存，保存的工作簿完整有效。");
}

}  // namespace
}  // namespace quillmere::cli
