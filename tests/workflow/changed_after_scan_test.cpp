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
#include "../support/workbook_reader.h"
#include "runtime/real_file_system.h"
#include "sheet/xlsx_application.h"
#include "workflow/extraction_run.h"

namespace quillmere::workflow {
namespace {

using quillmere::testing::FakeWindow;
using quillmere::testing::JpegFixture;
using quillmere::testing::MakeJpeg;
using quillmere::testing::OpenWatch;
using quillmere::testing::ReadWorkbook;
using quillmere::testing::TempTree;

struct ShownRow {
    std::string time;    // E
    std::string size;    // J
    std::string image;   // K to N, joined by spaces
};

ShownRow RowOf(const quillmere::testing::WorkbookSheet& sheet, std::size_t row) {
    return {sheet.At(row, 5), sheet.At(row, 10),
            sheet.At(row, 11) + " " + sheet.At(row, 12) + " " + sheet.At(row, 13) + " " + sheet.At(row, 14)};
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
        window.Set(control::kFolder, tree.Path("scan"));
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
        sheet::XlsxApplicationFactory factory(tree.Path("out.xlsx"), nullptr);
        sheet::ExcelApp app(factory);
        sheet::ExcelWorkbooks workbook;

        const RunResult result = RunExtraction(window, fs, app, workbook, RunSettings{jobs});

        EXPECT_EQ(result.outcome, RunOutcome::Completed);
        EXPECT_EQ(result.filesWritten, 8);
        const auto book = ReadWorkbook(tree.Path("out.xlsx"));
        ASSERT_TRUE(book.readable) << book.error;
        const auto& sheet = book.sheets.at(0);
        ASSERT_EQ(sheet.rows.size(), 9u);
        const std::vector<std::string> names = {"1-a.jpg", "1-b.jpg", "2-a.jpg", "2-b.jpg",
                                                "3-a.jpg", "3-b.jpg", "4-a.jpg", "4-b.jpg"};
        for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(sheet.At(i + 2, 9), names[i]);
        for (std::size_t row : {2, 4, 6, 8}) EXPECT_EQ(RowOf(sheet, row).image, kNeighbour) << row;

        const ShownRow removed = RowOf(sheet, 3);
        EXPECT_EQ(removed.size, "-1");
        EXPECT_EQ(removed.time, "100年1月1日");
        EXPECT_EQ(removed.image, kNotAnImage);

        ASSERT_NE(fifoWatch, nullptr);
        EXPECT_FALSE(fifoWatch->SawOpen()) << "the FIFO was opened";
        EXPECT_EQ(RowOf(sheet, 5).size, "0");
        EXPECT_EQ(RowOf(sheet, 5).image, kNotAnImage);

        struct stat folder {};
        ASSERT_EQ(stat(path("3-b.jpg").c_str(), &folder), 0);
        EXPECT_EQ(RowOf(sheet, 7).size, std::to_string(folder.st_size));
        EXPECT_EQ(RowOf(sheet, 7).image, kNotAnImage);

        EXPECT_EQ(RowOf(sheet, 9).size, std::to_string(replacement.size()));
        EXPECT_EQ(RowOf(sheet, 9).image, "20*10 72 256色 40%");
    }
}

}  // namespace
}  // namespace quillmere::workflow
