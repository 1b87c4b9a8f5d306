// A whole run over a tree held in memory: the scan, the file facts and the
// probe all reach files through the file system interface, so real image
// headers served from memory give the same rows as files on disk.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fixture_writers.h"
#include "../support/counting_file_system.h"
#include "../support/fake_window.h"
#include "../support/jpeg_fixture.h"
#include "../support/memory_workbook.h"
#include "runtime/memory_file_system.h"
#include "workflow/extraction_run.h"

namespace quillmere::workflow {
namespace {

namespace fixtures = quillmere::image::fixtures;
using quillmere::testing::FakeWindow;
using quillmere::testing::MemoryRow;
using quillmere::testing::MemoryWorkbookMaker;

std::vector<unsigned char> BytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// Columns I to N: file name, size, pixels, resolution, colours, quality.
std::vector<std::string> FileColumns(const MemoryRow& row) { return {row.begin() + 8, row.end()}; }

TEST(RunInMemory, ImageHeadersServedFromMemoryGiveTheirRows) {
    MemoryFileSystem memory;
    memory.AddFileWithBytes("/scan/0001.jpg", BytesOf(quillmere::testing::MakeJpeg(
                                                  {.width = 8, .height = 8, .components = 3, .densityUnit = 1,
                                                   .density = 300})));
    memory.AddFile("/scan/huge.bin", 3000000000LL);  // reads as zeros, never held in memory
    memory.AddSpecialFile("/scan/pipe");
    memory.AddFileWithBytes("/scan/b/notes.txt", BytesOf("not an image"));
    fixtures::PngSpec png;
    png.width = 12;
    png.height = 9;
    png.phys = true;
    png.xPerUnit = png.yPerUnit = 11811;
    memory.AddFileWithBytes("/scan/a/0002.png", fixtures::WritePng(png));
    fixtures::TiffPage page;
    page.width = 40;
    page.height = 30;
    page.resolution = true;
    page.xResolution = page.yResolution = 200.0f;
    memory.AddFileWithBytes("/scan/a/0003.tif", fixtures::WriteTiff({page}));
    // Counted on one thread: files are prepared inside the writer's loop.
    const testing::CountingFileSystem fs(memory);

    FakeWindow window;
    window.SetFolderUtf8("/scan");
    MemoryWorkbookMaker maker;
    RunSettings settings;
    settings.pool = FixedPreparePool(0);
    const RunResult result = RunExtraction(window, fs, maker, settings);

    ASSERT_EQ(result.outcome, RunOutcome::Completed);
    ASSERT_TRUE(maker.committed);
    const std::vector<MemoryRow> rows = maker.FileRows();
    ASSERT_EQ(rows.size(), 6u);
    const auto size = [&memory](const char* path) { return std::to_string(memory.Status(path).size); };
    const std::vector<std::vector<std::string>> expected = {
        {"0001.jpg", size("/scan/0001.jpg"), "8*8", "300", "真彩色", "75%"},
        {"huge.bin", "3000000000", "0*0", "96", "真彩色", "90%"},
        {"pipe", "0", "0*0", "96", "真彩色", "90%"},
        {"notes.txt", "12", "0*0", "96", "真彩色", "90%"},
        {"0002.png", size("/scan/a/0002.png"), "12*9", "300", "真彩色", "90%"},
        {"0003.tif", size("/scan/a/0003.tif"), "40*30", "200", "256色", "90%"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i][0]);
        EXPECT_EQ(FileColumns(rows[i]), expected[i]);
    }
    // Every regular file opened once; the special file never.
    EXPECT_EQ(fs.opens(), 5);
}

}  // namespace
}  // namespace quillmere::workflow
