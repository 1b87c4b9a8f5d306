// The registry a signal handler empties: what is registered is removed,
// what was released is not, and a run interrupted by a signal mid-write or
// mid-save leaves the folder as it was.
#include "sheet/temporary_file_registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sheet/workbook_makers.h"
#include "tests/sheet/row_workbook_fixtures.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_directory.h"
#include "tests/support/workbook_reader.h"

namespace quillmere::sheet {
namespace {

using fixtures::FolderListing;

class TemporaryFileRegistryTest : public ::testing::Test {
protected:
    std::string Make(const std::string& name) {
        const std::string path = directory_.path() + "/" + name;
        fixtures::WriteFileBytes(path, "x");
        return path;
    }

    testing::TempDirectory directory_;
};

TEST_F(TemporaryFileRegistryTest, RegisteredFilesAreRemovedAndReleasedOnesKept) {
    TemporaryFileRegistration first(Make("first"));
    TemporaryFileRegistration second(Make("second"));
    TemporaryFileRegistration kept(Make("kept"));
    ASSERT_TRUE(first.Registered());
    ASSERT_TRUE(second.Registered());
    kept.Release();
    EXPECT_FALSE(kept.Registered());

    EXPECT_EQ(RemoveRegisteredTemporaryFiles(), 2u);
    EXPECT_EQ(FolderListing(directory_.path()), std::set<std::string>{"kept"});
}

TEST_F(TemporaryFileRegistryTest, AMovedRegistrationStaysRegisteredOnce) {
    TemporaryFileRegistration moved;
    {
        TemporaryFileRegistration original(Make("file"));
        moved = std::move(original);
        EXPECT_FALSE(original.Registered());
    }
    EXPECT_TRUE(moved.Registered());
    EXPECT_EQ(RemoveRegisteredTemporaryFiles(), 1u);
    EXPECT_TRUE(FolderListing(directory_.path()).empty());
    moved.Release();
    EXPECT_EQ(RemoveRegisteredTemporaryFiles(), 0u);
}

TEST_F(TemporaryFileRegistryTest, SlotsAreReusedAndRefusedOnlyWhenAllAreTaken) {
    std::vector<TemporaryFileRegistration> all;
    for (std::size_t i = 0; i < kTemporaryFileSlots; ++i) {
        all.emplace_back(directory_.path() + "/f" + std::to_string(i));
        EXPECT_TRUE(all.back().Registered()) << i;
    }
    TemporaryFileRegistration extra(directory_.path() + "/extra");
    EXPECT_FALSE(extra.Registered());
    all.front().Release();
    TemporaryFileRegistration again(directory_.path() + "/again");
    EXPECT_TRUE(again.Registered());
    EXPECT_FALSE(TemporaryFileRegistration(std::string(kTemporaryPathCapacity, 'x')).Registered());
}

// A signal handler as the extractor installs one: remove the temporary
// files, then end as the signal would.
void RemoveAndDie(int signal) {
    RemoveRegisteredTemporaryFiles();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// The signal a timer passes on, in a child.
volatile std::sig_atomic_t timedSignal = SIGTERM;

void PassOnTimedSignal(int) { std::raise(timedSignal); }

std::string WriteRows(RowWorkbook& workbook, int rows) {
    for (int number = 1; number <= rows; ++number) {
        const std::vector<Text> row = fixtures::Texts(fixtures::NumberedRow(number));
        if (workbook.AppendRow(row)) return "append failed";
    }
    return {};
}

TEST_F(TemporaryFileRegistryTest, ASignalMidRunLeavesTheFolderAsItWas) {
    const std::string earlier = "earlier bytes";
    for (const auto& [name, signal] : {std::pair{"a.xlsx", SIGINT}, std::pair{"b.xlsx", SIGTERM},
                                       std::pair{"c.csv", SIGTERM}, std::pair{"d.csv", SIGINT}}) {
        SCOPED_TRACE(name);
        const std::string folder = directory_.path() + "/" + name + ".d";
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        const std::string path = folder + "/" + name;
        fixtures::WriteFileBytes(path, earlier);
        const testing::ChildOutcome child = testing::RunInChild([&, signal = signal] {
            std::signal(signal, RemoveAndDie);
            CreatedWorkbook created = CreateRowWorkbook(path, fixtures::Layout(fixtures::ThreeTitles()));
            if (!created.workbook) return created.failure.reason;
            if (std::string failure = WriteRows(*created.workbook, 3000); !failure.empty()) return failure;
            std::raise(signal);
            return std::string("survived the signal");
        });
        EXPECT_EQ(child.signal, signal) << child.result;
        EXPECT_EQ(FolderListing(folder), std::set<std::string>{name});
        EXPECT_EQ(fixtures::FileBytes(path), earlier);
    }
}

TEST_F(TemporaryFileRegistryTest, ASignalMidSaveLeavesTheEarlierFileOrTheWholeWorkbook) {
    // A timer sends the signal once the rows are in, at several delays, so
    // that it lands at different points of the save (or after it). Either
    // way the name holds the earlier bytes or a whole workbook, and nothing
    // else is left in the folder.
    const std::string earlier = "earlier bytes";
    int interrupted = 0;
    int index = 0;
    for (const int delay : {1, 300, 1000, 3000, 10000, 30000}) {
        for (const char* name : {"out.xlsx", "out.csv"}) {
            SCOPED_TRACE(std::string(name) + " after " + std::to_string(delay) + " µs");
            const std::string folder = directory_.path() + "/save" + std::to_string(index++);
            ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
            const std::string path = folder + "/" + name;
            fixtures::WriteFileBytes(path, earlier);
            const int signal = delay % 2 == 0 ? SIGTERM : SIGINT;
            const testing::ChildOutcome child = testing::RunInChild([&] {
                std::signal(signal, RemoveAndDie);
                timedSignal = signal;
                std::signal(SIGALRM, PassOnTimedSignal);
                CreatedWorkbook created = CreateRowWorkbook(path, fixtures::Layout(fixtures::ThreeTitles()));
                if (!created.workbook) return created.failure.reason;
                if (std::string failure = WriteRows(*created.workbook, 20000); !failure.empty()) return failure;
                const itimerval timer{{0, 0}, {0, delay}};
                ::setitimer(ITIMER_REAL, &timer, nullptr);
                const bool saved = !created.workbook->Commit();
                // The signal still comes; its handler ends the process.
                for (;;) ::pause();
                return std::string(saved ? "saved" : "failed");
            });
            EXPECT_EQ(child.signal, signal) << child.result;
            EXPECT_EQ(FolderListing(folder), std::set<std::string>{name});
            const std::string bytes = fixtures::FileBytes(path);
            if (bytes == earlier) {
                ++interrupted;
            } else if (std::string(name) == "out.xlsx") {
                const testing::Workbook read = testing::ReadWorkbook(path);
                ASSERT_TRUE(read.readable) << read.error;
                EXPECT_EQ(read.sheets.at(0).rows.size(), 20001u);
                EXPECT_EQ(read.sheets.at(0).At(20001, 1), "A20000");
            } else {
                const std::string last = "\r\nA20000,第20000页.jpg,20000\r\n";
                ASSERT_GE(bytes.size(), last.size());
                EXPECT_EQ(bytes.substr(bytes.size() - last.size()), last);
            }
        }
    }
    EXPECT_GT(interrupted, 0) << "no signal landed before the rename";
}

}  // namespace
}  // namespace quillmere::sheet
