// The window program's workbooks: saved under the next free name at the
// moment of the save, distinct for runs in the same second, in one process
// or several; nothing stands under any real name before a workbook is
// saved there, and an existing file is never replaced.
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sheet/staged_file.h"
#include "sheet/workbook_makers.h"
#include "tests/sheet/row_workbook_fixtures.h"
#include "tests/support/temp_directory.h"
#include "tests/support/workbook_reader.h"

namespace quillmere::sheet {
namespace {

using fixtures::FolderListing;

// The names in folder that are not staged (hidden, in-progress) files.
std::set<std::string> VisibleNames(const std::string& folder) {
    std::set<std::string> names;
    for (const std::string& name : FolderListing(folder)) {
        if (!IsStagedFileName(name)) names.insert(name);
    }
    return names;
}

class FreshNameTest : public ::testing::Test {
protected:
    std::string Stem() const { return directory_.path() + "/图片-元数据-20261210-142000"; }
    WorkbookLayout Layout() const { return fixtures::Layout(fixtures::ThreeTitles()); }

    testing::TempDirectory directory_;
};

TEST_F(FreshNameTest, EachSaveTakesTheNextFreeNameAndNoneIsTakenBefore) {
    std::vector<CreatedWorkbook> workbooks;
    for (int run = 1; run <= 4; ++run) {
        workbooks.push_back(CreateWorkbookUnderFreshName(Stem(), Layout()));
        ASSERT_NE(workbooks.back().workbook, nullptr) << workbooks.back().failure.reason;
        const std::vector<Text> row = fixtures::Texts(fixtures::NumberedRow(run));
        ASSERT_FALSE(workbooks.back().workbook->AppendRow(row).has_value());
    }
    EXPECT_EQ(FolderListing(directory_.path()).size(), 4u);
    EXPECT_TRUE(VisibleNames(directory_.path()).empty()) << "a file stands under a real name before its save";
    const std::vector<std::string> expected = {Stem() + ".xlsx", Stem() + "-2.xlsx", Stem() + "-3.xlsx",
                                               Stem() + "-4.xlsx"};
    for (std::size_t run = 0; run < workbooks.size(); ++run) {
        RowWorkbook& workbook = *workbooks[run].workbook;
        EXPECT_EQ(workbook.Path(), Stem() + ".xlsx") << "the name asked for, until the save";
        ASSERT_FALSE(workbook.Commit().has_value());
        EXPECT_EQ(workbook.Path(), expected[run]);
        EXPECT_EQ(testing::ReadWorkbook(expected[run]).sheets.at(0).At(2, 1), "A" + std::to_string(run + 1));
    }
    EXPECT_EQ(FolderListing(directory_.path()).size(), 4u) << "a staged file stayed behind";
}

TEST_F(FreshNameTest, AnExistingFileIsNeverReplacedOrRemoved) {
    fixtures::WriteFileBytes(Stem() + ".xlsx", "someone's workbook");
    ASSERT_EQ(::symlink("nowhere.xlsx", (Stem() + "-2.xlsx").c_str()), 0);
    CreatedWorkbook created = CreateWorkbookUnderFreshName(Stem(), Layout());
    ASSERT_NE(created.workbook, nullptr) << created.failure.reason;
    ASSERT_FALSE(created.workbook->Commit().has_value());
    EXPECT_EQ(created.workbook->Path(), Stem() + "-3.xlsx");
    EXPECT_EQ(fixtures::FileBytes(Stem() + ".xlsx"), "someone's workbook");
    char target[64] = {};
    EXPECT_EQ(::readlink((Stem() + "-2.xlsx").c_str(), target, sizeof target - 1), 12) << "the link was replaced";
    EXPECT_TRUE(testing::ReadWorkbook(Stem() + "-3.xlsx").readable);
}

TEST_F(FreshNameTest, ManyProcessesSavingAtOnceNeverShareAName) {
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
            std::string taken;
            for (int i = 0; i < kEach; ++i) {
                CreatedWorkbook created = CreateWorkbookUnderFreshName(Stem(), Layout());
                const bool saved = created.workbook && !created.workbook->Commit().has_value();
                taken += (saved ? created.workbook->Path() : std::string("<failed>")) + "\n";
            }
            if (::write(pipes[1], taken.data(), taken.size()) < 0) ::_exit(2);
            ::_exit(0);
        }
        children.push_back(child);
    }
    ::close(pipes[1]);
    std::string all;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipes[0], buffer, sizeof buffer)) > 0;)
        all.append(buffer, static_cast<std::size_t>(got));
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
    EXPECT_EQ(FolderListing(directory_.path()).size(), names.size()) << "a workbook was replaced or a file left";
}

TEST_F(FreshNameTest, TwoWorkbooksStartedInOneSecondAreSavedUnderTwoNames) {
    CreatedWorkbook first = CreateWorkbookUnderFreshName(Stem(), Layout());
    CreatedWorkbook second = CreateWorkbookUnderFreshName(Stem(), Layout());
    ASSERT_NE(first.workbook, nullptr) << first.failure.reason;
    ASSERT_NE(second.workbook, nullptr) << second.failure.reason;
    const std::vector<Text> one = fixtures::Texts(fixtures::NumberedRow(1));
    const std::vector<Text> two = fixtures::Texts(fixtures::NumberedRow(2));
    ASSERT_FALSE(first.workbook->AppendRow(one).has_value());
    ASSERT_FALSE(second.workbook->AppendRow(two).has_value());
    // The one that finishes first takes the plain name.
    ASSERT_FALSE(second.workbook->Commit().has_value());
    ASSERT_FALSE(first.workbook->Commit().has_value());
    EXPECT_EQ(second.workbook->Path(), Stem() + ".xlsx");
    EXPECT_EQ(first.workbook->Path(), Stem() + "-2.xlsx");
    EXPECT_EQ(testing::ReadWorkbook(first.workbook->Path()).sheets.at(0).At(2, 1), "A1");
    EXPECT_EQ(testing::ReadWorkbook(second.workbook->Path()).sheets.at(0).At(2, 1), "A2");
    EXPECT_EQ(FolderListing(directory_.path()).size(), 2u);
}

TEST_F(FreshNameTest, AFileSavedBesideTheWorkbookFollowsTheNameItTook) {
    CreatedWorkbook first = CreateWorkbookUnderFreshName(Stem(), Layout());
    CreatedWorkbook second = CreateWorkbookUnderFreshName(Stem(), Layout());
    ASSERT_NE(first.workbook, nullptr) << first.failure.reason;
    ASSERT_NE(second.workbook, nullptr) << second.failure.reason;
    ASSERT_FALSE(first.workbook->AddCompanionFile(".sha256", "first\n").has_value());
    ASSERT_FALSE(second.workbook->AddCompanionFile(".sha256", "second\n").has_value());
    EXPECT_TRUE(VisibleNames(directory_.path()).empty());
    ASSERT_FALSE(first.workbook->Commit().has_value());
    ASSERT_FALSE(second.workbook->Commit().has_value());
    EXPECT_EQ(VisibleNames(directory_.path()),
              (std::set<std::string>{"图片-元数据-20261210-142000.xlsx", "图片-元数据-20261210-142000.sha256",
                                     "图片-元数据-20261210-142000-2.xlsx", "图片-元数据-20261210-142000-2.sha256"}));
    EXPECT_EQ(fixtures::FileBytes(Stem() + ".sha256"), "first\n") << "the second run replaced the first's file";
    EXPECT_EQ(fixtures::FileBytes(Stem() + "-2.sha256"), "second\n");
    EXPECT_EQ(FolderListing(directory_.path()).size(), 4u) << "a staged file stayed behind";
}

TEST_F(FreshNameTest, AWorkbookNotSavedLeavesNothing) {
    {
        CreatedWorkbook created = CreateWorkbookUnderFreshName(Stem(), Layout());
        ASSERT_NE(created.workbook, nullptr);
        EXPECT_EQ(FolderListing(directory_.path()).size(), 1u) << "only the file being built";
        created.workbook->Discard();
        EXPECT_TRUE(FolderListing(directory_.path()).empty());
    }
    {
        CreatedWorkbook dropped = CreateWorkbookUnderFreshName(Stem(), Layout());
        ASSERT_NE(dropped.workbook, nullptr);
    }
    EXPECT_TRUE(FolderListing(directory_.path()).empty()) << "a workbook destroyed unsaved left a file";
    CreatedWorkbook again = CreateWorkbookUnderFreshName(Stem(), Layout());
    ASSERT_NE(again.workbook, nullptr);
    ASSERT_FALSE(again.workbook->Commit().has_value());
    EXPECT_EQ(again.workbook->Path(), Stem() + ".xlsx");
}

TEST_F(FreshNameTest, AWorkbookInAMissingFolderFailsNamingTheFile) {
    const CreatedWorkbook created = CreateWorkbookUnderFreshName(directory_.path() + "/missing/x", Layout());
    EXPECT_EQ(created.workbook, nullptr);
    EXPECT_EQ(created.failure.path, directory_.path() + "/missing/x.xlsx");
    EXPECT_EQ(created.failure.reason, "文件夹不存在");
}

}  // namespace
}  // namespace quillmere::sheet
