// Names reserved for the window program's workbooks: distinct for runs in
// the same second, in one process or several, and gone again when the
// workbook is not saved.
#include "sheet/reserved_name.h"

#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sheet/workbook_makers.h"
#include "tests/sheet/row_workbook_fixtures.h"
#include "tests/support/temp_directory.h"
#include "tests/support/workbook_reader.h"

namespace quillmere::sheet {
namespace {

using fixtures::FolderListing;

class ReservedNameTest : public ::testing::Test {
protected:
    std::string Stem() const { return directory_.path() + "/图片-元数据-20261210-142000"; }

    testing::TempDirectory directory_;
};

TEST_F(ReservedNameTest, EachReservationTakesTheNextFreeName) {
    std::vector<ReservedName> names;
    for (int i = 0; i < 4; ++i) {
        int error = -1;
        names.push_back(ReservedName::Reserve(Stem(), ".xlsx", error));
        ASSERT_TRUE(names.back().Holds());
        EXPECT_EQ(error, 0);
    }
    EXPECT_EQ(names[0].Path(), Stem() + ".xlsx");
    EXPECT_EQ(names[1].Path(), Stem() + "-2.xlsx");
    EXPECT_EQ(names[2].Path(), Stem() + "-3.xlsx");
    EXPECT_EQ(names[3].Path(), Stem() + "-4.xlsx");
    EXPECT_EQ(FolderListing(directory_.path()).size(), 4u);
    names.clear();
    EXPECT_TRUE(FolderListing(directory_.path()).empty()) << "released names stay reserved";
}

TEST_F(ReservedNameTest, AnExistingFileIsNeverTakenOrRemoved) {
    fixtures::WriteFileBytes(Stem() + ".xlsx", "someone's workbook");
    {
        int error = 0;
        ReservedName name = ReservedName::Reserve(Stem(), ".xlsx", error);
        ASSERT_TRUE(name.Holds());
        EXPECT_EQ(name.Path(), Stem() + "-2.xlsx");
    }
    EXPECT_EQ(fixtures::FileBytes(Stem() + ".xlsx"), "someone's workbook");
    EXPECT_EQ(FolderListing(directory_.path()).size(), 1u);
}

TEST_F(ReservedNameTest, AReleaseLeavesAFileThatReplacedTheReservation) {
    int error = 0;
    ReservedName name = ReservedName::Reserve(Stem(), ".xlsx", error);
    ASSERT_TRUE(name.Holds());
    const std::string path = name.Path();
    ASSERT_EQ(::unlink(path.c_str()), 0);
    fixtures::WriteFileBytes(path, "put here by someone else");
    name.Release();
    EXPECT_EQ(fixtures::FileBytes(path), "put here by someone else");
}

TEST_F(ReservedNameTest, AFolderThatIsMissingFailsWithItsErrno) {
    int error = 0;
    const ReservedName name = ReservedName::Reserve(directory_.path() + "/missing/x", ".xlsx", error);
    EXPECT_FALSE(name.Holds());
    EXPECT_EQ(error, ENOENT);
}

TEST_F(ReservedNameTest, ManyProcessesReservingAtOnceNeverShareAName) {
    constexpr int kProcesses = 6;
    constexpr int kEach = 25;
    int pipes[2];
    ASSERT_EQ(::pipe(pipes), 0);
    std::vector<pid_t> children;
    for (int process = 0; process < kProcesses; ++process) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipes[0]);
            std::vector<ReservedName> held;  // kept until the end, as by a running window
            std::string taken;
            for (int i = 0; i < kEach; ++i) {
                int error = 0;
                held.push_back(ReservedName::Reserve(Stem(), ".xlsx", error));
                taken += (held.back().Holds() ? held.back().Path() : std::string("<failed>")) + "\n";
                held.back().Fulfil();  // as if a workbook had been saved
            }
            if (::write(pipes[1], taken.data(), taken.size()) < 0) ::_exit(2);
            ::_exit(0);
        }
        children.push_back(child);
    }
    ::close(pipes[1]);
    std::string all;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipes[0], buffer, sizeof buffer)) > 0;) all.append(buffer, static_cast<std::size_t>(got));
    ::close(pipes[0]);
    for (const pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::multiset<std::string> names;
    for (std::size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1) {
        names.insert(all.substr(at, end - at));
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kProcesses * kEach));
    EXPECT_EQ(names.count("<failed>"), 0u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size()) << "a name was given twice";
    EXPECT_EQ(FolderListing(directory_.path()).size(), names.size());
}

TEST_F(ReservedNameTest, TwoWorkbooksStartedInOneSecondAreSavedUnderTwoNames) {
    const WorkbookLayout layout = fixtures::Layout(fixtures::ThreeTitles());
    CreatedWorkbook first = CreateWorkbookUnderFreshName(Stem(), layout);
    CreatedWorkbook second = CreateWorkbookUnderFreshName(Stem(), layout);
    ASSERT_NE(first.workbook, nullptr) << first.failure.reason;
    ASSERT_NE(second.workbook, nullptr) << second.failure.reason;
    EXPECT_EQ(first.workbook->Path(), Stem() + ".xlsx");
    EXPECT_EQ(second.workbook->Path(), Stem() + "-2.xlsx");
    const std::vector<Text> one = fixtures::Texts(fixtures::NumberedRow(1));
    const std::vector<Text> two = fixtures::Texts(fixtures::NumberedRow(2));
    ASSERT_FALSE(first.workbook->AppendRow(one).has_value());
    ASSERT_FALSE(second.workbook->AppendRow(two).has_value());
    ASSERT_FALSE(second.workbook->Commit().has_value());
    ASSERT_FALSE(first.workbook->Commit().has_value());
    EXPECT_EQ(testing::ReadWorkbook(Stem() + ".xlsx").sheets.at(0).At(2, 1), "A1");
    EXPECT_EQ(testing::ReadWorkbook(Stem() + "-2.xlsx").sheets.at(0).At(2, 1), "A2");
    EXPECT_EQ(FolderListing(directory_.path()).size(), 2u);
}

TEST_F(ReservedNameTest, AWorkbookNotSavedGivesItsNameBack) {
    const WorkbookLayout layout = fixtures::Layout(fixtures::ThreeTitles());
    {
        CreatedWorkbook created = CreateWorkbookUnderFreshName(Stem(), layout);
        ASSERT_NE(created.workbook, nullptr);
        // The reserved name and the file being built.
        EXPECT_EQ(FolderListing(directory_.path()).size(), 2u);
        created.workbook->Discard();
        EXPECT_TRUE(FolderListing(directory_.path()).empty());
    }
    CreatedWorkbook again = CreateWorkbookUnderFreshName(Stem(), layout);
    ASSERT_NE(again.workbook, nullptr);
    EXPECT_EQ(again.workbook->Path(), Stem() + ".xlsx");
}

TEST_F(ReservedNameTest, AReservationInAMissingFolderFailsNamingTheFile) {
    const CreatedWorkbook created =
        CreateWorkbookUnderFreshName(directory_.path() + "/missing/x", fixtures::Layout(fixtures::ThreeTitles()));
    EXPECT_EQ(created.workbook, nullptr);
    EXPECT_EQ(created.failure.path, directory_.path() + "/missing/x.xlsx");
    EXPECT_EQ(created.failure.reason, "文件夹不存在");
}

}  // namespace
}  // namespace quillmere::sheet
