// The hidden file a workbook is built in: a name that any file system
// takes, removed by the next run when its own run was killed outright
// (never while its run lives, never another program's file), found through
// its folder even after the folder was renamed, and failures named as the
// user would describe them.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sheet/staged_file.h"
#include "sheet/temporary_file_registry.h"
#include "sheet/workbook_makers.h"
#include "tests/sheet/row_workbook_fixtures.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_directory.h"
#include "tests/support/workbook_reader.h"

namespace quillmere::sheet {
namespace {

using fixtures::FolderListing;

// Whether bytes are well-formed UTF-8 (shortest forms, no surrogates).
bool IsUtf8(const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
        const unsigned char lead = byte(at);
        std::size_t length = 1;
        unsigned low = 0x80, high = 0xBF;
        if (lead < 0x80) {
            ++at;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (at + length > bytes.size() || byte(at + 1) < low || byte(at + 1) > high) return false;
        for (std::size_t i = 2; i < length; ++i) {
            if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return false;
        }
        at += length;
    }
    return true;
}

std::string Repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

std::set<std::string> StagedNames(const std::string& folder) {
    std::set<std::string> names;
    for (const std::string& name : FolderListing(folder)) {
        if (IsStagedFileName(name)) names.insert(name);
    }
    return names;
}

// A workbook at path with rows rows appended, not saved.
CreatedWorkbook OpenWithRows(const std::string& path, int rows) {
    CreatedWorkbook created = CreateRowWorkbook(path, fixtures::Layout(fixtures::ThreeTitles()));
    if (!created.workbook) return created;
    for (int number = 1; number <= rows; ++number) {
        const std::vector<Text> row = fixtures::Texts(fixtures::NumberedRow(number));
        if (auto failure = created.workbook->AppendRow(row)) return {nullptr, *failure};
    }
    return created;
}

// Every row 2.. of the workbook's first sheet holds NumberedRow(row - 1).
::testing::AssertionResult HoldsRowsInOrder(const std::string& path, int rows) {
    const testing::Workbook read = testing::ReadWorkbook(path);
    if (!read.readable || read.sheets.empty()) return ::testing::AssertionFailure() << "unreadable: " << read.error;
    const testing::WorkbookSheet& sheet = read.sheets[0];
    if (sheet.rows.size() != static_cast<std::size_t>(rows) + 1) {
        return ::testing::AssertionFailure() << sheet.rows.size() - 1 << " rows, not " << rows;
    }
    for (int number = 1; number <= rows; ++number) {
        if (sheet.At(static_cast<std::size_t>(number) + 1, 1) != "A" + std::to_string(number)) {
            return ::testing::AssertionFailure() << "row " << number << " holds " << sheet.At(number + 1, 1);
        }
    }
    return ::testing::AssertionSuccess();
}

class StagedFileTest : public ::testing::Test {
protected:
    std::string Folder() const { return directory_.path(); }

    testing::TempDirectory directory_;
};

TEST_F(StagedFileTest, HiddenNamesFitAFileNameAndKeepWholeCharacters) {
    // Names up to the longest a file name may be, shifted by a byte or two
    // so that the hidden name's cut falls at each place in a character.
    const std::vector<std::string> names = {
        "out.xlsx",
        Repeated("图", 83) + ".xlsx",
        "a" + Repeated("图", 82) + ".xlsx",
        "ab" + Repeated("图", 82) + ".csv",
        Repeated("档案", 41) + "😀.xlsx",
        Repeated("x", 250) + ".xlsx",
    };
    for (std::size_t index = 0; index < names.size(); ++index) {
        const std::string& name = names[index];
        SCOPED_TRACE(std::to_string(name.size()) + " bytes: " + name);
        ASSERT_LE(name.size(), kLongestFileName);
        const std::string folder = Folder() + "/" + std::to_string(index);
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        CreatedWorkbook created = OpenWithRows(folder + "/" + name, 3);
        ASSERT_NE(created.workbook, nullptr) << created.failure.reason;
        const std::set<std::string> staged = StagedNames(folder);
        ASSERT_EQ(staged.size(), 1u);
        EXPECT_EQ(FolderListing(folder), staged) << "a file under the real name before the save";
        const std::string& hidden = *staged.begin();
        EXPECT_LE(hidden.size(), kLongestFileName);
        EXPECT_TRUE(IsUtf8(hidden)) << hidden;
        EXPECT_EQ(hidden.compare(0, 3, "." + name.substr(0, 2)), 0) << hidden;
        ASSERT_FALSE(created.workbook->Commit().has_value());
        EXPECT_EQ(FolderListing(folder), std::set<std::string>{name});
    }
}

TEST_F(StagedFileTest, ANameLongerThanAFileNameFailsAtCreateAsTooLong) {
    for (const std::string& name : {Repeated("图", 84) + ".xlsx", Repeated("x", 252) + ".csv"}) {
        SCOPED_TRACE(std::to_string(name.size()) + " bytes");
        const CreatedWorkbook created =
            CreateRowWorkbook(Folder() + "/" + name, fixtures::Layout(fixtures::ThreeTitles()));
        EXPECT_EQ(created.workbook, nullptr);
        EXPECT_EQ(created.failure.path, Folder() + "/" + name);
        EXPECT_EQ(created.failure.reason, "文件名过长");
        EXPECT_TRUE(FolderListing(Folder()).empty());
    }
}

TEST_F(StagedFileTest, AKilledRunsFilesAreRemovedByTheNextRunAndOthersStay) {
    // A live run in another process, waiting to save until told.
    int ready[2];
    int go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    const pid_t live = ::fork();
    ASSERT_GE(live, 0);
    if (live == 0) {
        ::close(ready[0]);
        ::close(go[1]);
        CreatedWorkbook created = OpenWithRows(Folder() + "/live.xlsx", 500);
        char byte = created.workbook ? 'y' : 'n';
        if (::write(ready[1], &byte, 1) != 1 || ::read(go[0], &byte, 1) != 1) ::_exit(3);
        ::_exit(created.workbook && !created.workbook->Commit().has_value() ? 0 : 1);
    }
    ::close(ready[1]);
    ::close(go[0]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    const std::set<std::string> liveFiles = StagedNames(Folder());
    ASSERT_EQ(liveFiles.size(), 1u);

    // Runs killed outright, as by SIGKILL or a power cut: mid-rows, and the
    // window's kind that has not yet taken its name. Each new run removes
    // what the one killed before it left, and nothing of the live run.
    std::set<std::string> killedFiles;
    for (const bool fresh : {false, true}) {
        const testing::ChildOutcome killed = testing::RunInChild([&] {
            CreatedWorkbook created =
                fresh ? CreateWorkbookUnderFreshName(Folder() + "/window", fixtures::Layout(fixtures::ThreeTitles()))
                      : OpenWithRows(Folder() + "/killed.xlsx", 2000);
            if (!created.workbook) return created.failure.reason;
            for (int number = 1; number <= 300; ++number) {
                const std::vector<Text> row = fixtures::Texts(fixtures::NumberedRow(number));
                static_cast<void>(created.workbook->AppendRow(row));
            }
            ::raise(SIGKILL);
            return std::string("not killed");
        });
        ASSERT_EQ(killed.signal, SIGKILL) << killed.result;
        std::set<std::string> staged = StagedNames(Folder());
        ASSERT_EQ(staged.size(), 2u) << "the live run's and the last killed run's";
        ASSERT_EQ(staged.count(*liveFiles.begin()), 1u);
        staged.erase(*liveFiles.begin());
        EXPECT_EQ(killedFiles.count(*staged.begin()), 0u);
        killedFiles.insert(*staged.begin());
    }
    // Files of other programs that look alike, and a link of our form that
    // must not be followed to the unlocked file it names.
    const std::string outside = Folder() + "-outside" + ".x.ABCDEFGHIJ.quillmere";
    fixtures::WriteFileBytes(outside, "not in the folder");
    const std::vector<std::string> others = {".killed.xlsx.tmp", ".killed.xlsx.ABCDEFGHI.quillmere",
                                             ".killed.xlsx.ABCDEFGHIJ.quillmerex", "killed.xlsx.ABCDEFGHIJ.quillmere"};
    for (const std::string& name : others) fixtures::WriteFileBytes(Folder() + "/" + name, "another program's");
    ASSERT_EQ(::symlink(outside.c_str(), (Folder() + "/.link.ABCDEFGHIJ.quillmere").c_str()), 0);
    ASSERT_EQ(::mkdir((Folder() + "/.dir.ABCDEFGHIJ.quillmere").c_str(), 0755), 0);
    const std::set<std::string> before = StagedNames(Folder());
    ASSERT_EQ(before.size(), 4u) << "the live and the last killed run's, the link and the folder";

    CreatedWorkbook next = OpenWithRows(Folder() + "/next.xlsx", 10);
    ASSERT_NE(next.workbook, nullptr) << next.failure.reason;
    std::set<std::string> expected = liveFiles;
    expected.insert(".link.ABCDEFGHIJ.quillmere");
    expected.insert(".dir.ABCDEFGHIJ.quillmere");
    std::set<std::string> after = StagedNames(Folder());
    ASSERT_EQ(after.size(), 4u) << "the killed runs' files stayed, or the live run's went";
    for (const std::string& name : expected) EXPECT_EQ(after.count(name), 1u) << name;
    for (const std::string& name : others) {
        EXPECT_EQ(fixtures::FileBytes(Folder() + "/" + name), "another program's") << name;
    }
    EXPECT_EQ(fixtures::FileBytes(outside), "not in the folder");
    ::unlink(outside.c_str());

    ASSERT_EQ(::write(go[1], "g", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(live, &status, 0), live);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the live run could not save";
    EXPECT_TRUE(HoldsRowsInOrder(Folder() + "/live.xlsx", 500));
    ASSERT_FALSE(next.workbook->Commit().has_value());
    EXPECT_TRUE(HoldsRowsInOrder(Folder() + "/next.xlsx", 10));
    ::close(ready[0]);
    ::close(go[1]);
}

TEST_F(StagedFileTest, AFolderRenamedDuringTheRunFailsTheSaveAndKeepsNothingInIt) {
    struct Case {
        const char* name;
        bool fresh;
        bool save;  // else the run is given up
    };
    for (const Case& c : {Case{"out.xlsx", false, true}, Case{"out.csv", false, true}, Case{"window", true, true},
                          Case{"out.xlsx", false, false}, Case{"window", true, false}}) {
        SCOPED_TRACE(std::string(c.name) + (c.save ? " saved" : " given up"));
        const std::string folder = Folder() + "/batch";
        const std::string moved = Folder() + "/moved";
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        CreatedWorkbook created =
            c.fresh ? CreateWorkbookUnderFreshName(folder + "/" + c.name, fixtures::Layout(fixtures::ThreeTitles()))
                    : OpenWithRows(folder + "/" + c.name, 0);
        ASSERT_NE(created.workbook, nullptr) << created.failure.reason;
        for (int number = 1; number <= 50; ++number) {
            const std::vector<Text> row = fixtures::Texts(fixtures::NumberedRow(number));
            ASSERT_FALSE(created.workbook->AppendRow(row).has_value());
        }
        ASSERT_EQ(::rename(folder.c_str(), moved.c_str()), 0);
        if (c.save) {
            const std::optional<WorkbookFailure> failure = created.workbook->Commit();
            ASSERT_TRUE(failure.has_value()) << "saved where nobody looks";
            EXPECT_EQ(failure->path, folder + "/" + c.name + (c.fresh ? ".xlsx" : ""));
            EXPECT_EQ(failure->reason, "文件夹不存在");
        } else {
            created.workbook->Discard();
        }
        EXPECT_TRUE(FolderListing(moved).empty()) << "a file was left in the moved folder";
        ASSERT_EQ(::rmdir(moved.c_str()), 0);
    }
}

TEST_F(StagedFileTest, TheSignalCleanupFindsTheFileAfterItsFolderWasRenamed) {
    // In a child, where the registry holds nothing but this run's file.
    const testing::ChildOutcome child = testing::RunInChild([&] {
        const std::string folder = Folder() + "/batch";
        const std::string moved = Folder() + "/moved";
        if (::mkdir(folder.c_str(), 0755) != 0) return std::string("no folder");
        CreatedWorkbook created = OpenWithRows(folder + "/out.xlsx", 20);
        if (!created.workbook) return created.failure.reason;
        if (::rename(folder.c_str(), moved.c_str()) != 0) return std::string("no rename");
        const std::size_t before = FolderListing(moved).size();
        const std::size_t registered = RemoveRegisteredTemporaryFiles();
        return std::to_string(before) + " " + std::to_string(registered) + " " +
               std::to_string(FolderListing(moved).size());
    });
    ASSERT_TRUE(child.exited);
    EXPECT_EQ(child.result, "1 1 0");
}

TEST_F(StagedFileTest, AFolderThatMayBeWrittenButNotListedStillSaves) {
    const std::string folder = Folder() + "/drop-box";
    ASSERT_EQ(::mkdir(folder.c_str(), 0733), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0733), 0);
    // Root reads any folder; the check runs as an ordinary user then.
    ASSERT_EQ(::chmod(Folder().c_str(), 0755), 0);
    for (const char* name : {"out.xlsx", "out.csv"}) {
        SCOPED_TRACE(name);
        const testing::ChildOutcome child = testing::RunInChild([&] {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                return std::string("cannot drop root");
            CreatedWorkbook created = OpenWithRows(folder + "/" + name, 5);
            if (!created.workbook) return created.failure.reason;
            if (auto failure = created.workbook->Commit()) return failure->reason;
            return std::string("saved");
        });
        ASSERT_TRUE(child.exited);
        EXPECT_EQ(child.result, "saved");
    }
    EXPECT_EQ(FolderListing(folder), (std::set<std::string>{"out.csv", "out.xlsx"}));
    EXPECT_TRUE(HoldsRowsInOrder(folder + "/out.xlsx", 5));
}

TEST_F(StagedFileTest, ALinkToAFileThatIsNotThereIsNamedAsSuch) {
    for (const std::string name : {"out.xlsx", "out.csv"}) {
        SCOPED_TRACE(name);
        const std::string link = Folder() + "/" + name;
        ASSERT_EQ(::symlink(("not-yet-" + name).c_str(), link.c_str()), 0);
        const CreatedWorkbook created = CreateRowWorkbook(link, fixtures::Layout(fixtures::ThreeTitles()));
        EXPECT_EQ(created.workbook, nullptr);
        EXPECT_EQ(created.failure.path, link);
        EXPECT_EQ(created.failure.reason, "链接指向的文件不存在");
        EXPECT_EQ(FolderListing(Folder()), std::set<std::string>{name});
        ASSERT_EQ(::unlink(link.c_str()), 0);
    }
}

}  // namespace
}  // namespace quillmere::sheet
