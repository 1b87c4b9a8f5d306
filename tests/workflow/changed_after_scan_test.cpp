// Files that change between the scan that lists them and the probe that
// reads them: removed, replaced by a FIFO, a folder or another image. The
// change is made from the window's event processing right after the scan,
// when the run reports how many files it found and before it reads any.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../support/fake_window.h"
#include "../support/jpeg_fixture.h"
#include "../support/open_watch.h"
#include "../support/temp_tree.h"
#include "../support/memory_workbook.h"
#include "runtime/real_file_system.h"
#include "workflow/extraction_run.h"

namespace quillmere::workflow {
namespace {

using quillmere::testing::FakeWindow;
using quillmere::testing::JpegFixture;
using quillmere::testing::MakeJpeg;
using quillmere::testing::OpenWatch;
using quillmere::testing::MemoryRow;
using quillmere::testing::MemoryWorkbookMaker;
using quillmere::testing::TempTree;

struct ShownRow {
    std::string time;    // E
    std::string size;    // J
    std::string image;   // K to N, joined by spaces
};

// rows: the file rows, the first file's at 0.
ShownRow RowOf(const std::vector<MemoryRow>& rows, std::size_t file) {
    const MemoryRow& row = rows.at(file);
    return {row[4], row[9], row[10] + " " + row[11] + " " + row[12] + " " + row[13]};
}

const std::string kNeighbour = "37*23 300 真彩色 75%";
const std::string kNotAnImage = "0*0 96 真彩色 90%";

TEST(FileChangedAfterTheScan, GetsOneRowShowingWhatIsThereWhenItIsRead) {
    for (const int jobs : {0, 3}) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        TempTree tree;
        const std::string neighbour =
            MakeJpeg({.width = 37, .height = 23, .components = 3, .densityUnit = 1, .density = 300});
        const std::string replacement =
            MakeJpeg({.width = 20, .height = 10, .components = 1, .densityUnit = 1, .density = 72, .quality = 40});
        for (const char* prefix : {"1", "2", "3", "4"}) {
            tree.File("scan/" + std::string(prefix) + "-a.jpg", neighbour);
            tree.File("scan/" + std::string(prefix) + "-b.jpg", neighbour);
        }
        const auto path = [&](const std::string& name) { return tree.Path("scan/" + name); };
        const auto replaceWithFifo = [&] {
            unlink(path("2-b.jpg").c_str());
            mkfifo(path("2-b.jpg").c_str(), 0644);
        };
        const auto replaceWithFolder = [&] {
            unlink(path("3-b.jpg").c_str());
            mkdir(path("3-b.jpg").c_str(), 0755);
        };
        std::unique_ptr<OpenWatch> fifoWatch;
        FakeWindow window;
        window.SetFolderUtf8(tree.Path("scan"));
        window.onProcessEvents = [&] {
            const bool scanned = !window.statuses.empty() && window.statuses.back().starts_with("共找到");
            if (!scanned || fifoWatch) return;
            unlink(path("1-b.jpg").c_str());
            replaceWithFifo();
            replaceWithFolder();
            tree.File("scan/4-b.jpg", replacement);
            fifoWatch = std::make_unique<OpenWatch>(path("2-b.jpg"));
        };
        RealFileSystem fs;
        MemoryWorkbookMaker maker;

        const RunResult result = RunExtraction(window, fs, maker, RunSettings{.pool = FixedPreparePool(jobs)});

        EXPECT_EQ(result.outcome, RunOutcome::Completed);
        EXPECT_EQ(result.filesWritten, 8);
        ASSERT_TRUE(maker.committed);
        const std::vector<MemoryRow> sheet = maker.FileRows();
        ASSERT_EQ(sheet.size(), 8u);
        const std::vector<std::string> names = {"1-a.jpg", "1-b.jpg", "2-a.jpg", "2-b.jpg",
                                                "3-a.jpg", "3-b.jpg", "4-a.jpg", "4-b.jpg"};
        for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(sheet[i][8], names[i]);
        for (std::size_t row : {0, 2, 4, 6}) EXPECT_EQ(RowOf(sheet, row).image, kNeighbour) << row;

        const ShownRow removed = RowOf(sheet, 1);
        EXPECT_EQ(removed.size, "-1");
        EXPECT_EQ(removed.time, "100年1月1日");
        EXPECT_EQ(removed.image, kNotAnImage);

        ASSERT_NE(fifoWatch, nullptr);
        EXPECT_FALSE(fifoWatch->SawOpen()) << "the FIFO was opened";
        EXPECT_EQ(RowOf(sheet, 3).size, "0");
        EXPECT_EQ(RowOf(sheet, 3).image, kNotAnImage);

        struct stat folder {};
        ASSERT_EQ(stat(path("3-b.jpg").c_str(), &folder), 0);
        EXPECT_EQ(RowOf(sheet, 5).size, std::to_string(folder.st_size));
        EXPECT_EQ(RowOf(sheet, 5).image, kNotAnImage);

        EXPECT_EQ(RowOf(sheet, 7).size, std::to_string(replacement.size()));
        EXPECT_EQ(RowOf(sheet, 7).image, "20*10 72 256色 40%");
    }
}

}  // namespace
}  // namespace quillmere::workflow
