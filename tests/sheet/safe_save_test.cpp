// Saving under failure: a full disk, a file-size limit, a folder that
// cannot take the workbook. Whatever goes wrong, an earlier file of the name
// keeps its bytes, no temporary file stays behind, success is reported only
// for a workbook that reads back whole, the failure names the path and the
// reason in Chinese, and no library prints a line.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/text_encoding.h"
#include "sheet/workbook_makers.h"
#include "sheet/xlsx_row_workbook.h"
#include "tests/sheet/row_workbook_fixtures.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_directory.h"
#include "tests/support/workbook_reader.h"

namespace quillmere::sheet {
namespace {

using fixtures::FileBytes;
using fixtures::FolderListing;
using fixtures::Layout;
using fixtures::Texts;

const std::string kEarlier = "the bytes of an earlier workbook, which must survive";

// A row of fourteen cells that compresses poorly, so that a few hundred
// rows fill a small disk even when zipped.
std::vector<Text> NoisyRow(int number) {
    std::vector<std::string> cells;
    unsigned state = static_cast<unsigned>(number) * 2654435761u + 1;
    for (int column = 0; column < 14; ++column) {
        std::string cell;
        for (int i = 0; i < 24; ++i) {
            state = state * 1103515245u + 12345u;
            cell += static_cast<char>('a' + (state >> 16) % 26);
        }
        cells.push_back(std::to_string(number) + cell);
    }
    return Texts(cells);
}

WorkbookLayout FourteenColumns() {
    std::vector<std::string> titles;
    for (int column = 1; column <= 14; ++column) titles.push_back("列" + std::to_string(column));
    return Layout(titles);
}

// Writes rows rows into path (an .xlsx or .csv) and saves. "ok", or
// "fail" <TAB> path <TAB> reason of the first failure.
std::string WriteAndSave(const std::string& path, int rows) {
    CreatedWorkbook created = CreateRowWorkbook(path, FourteenColumns());
    if (!created.workbook) return "fail\t" + created.failure.path + "\t" + created.failure.reason;
    for (int number = 1; number <= rows; ++number) {
        const std::vector<Text> row = NoisyRow(number);
        if (auto failure = created.workbook->AppendRow(row)) return "fail\t" + failure->path + "\t" + failure->reason;
    }
    if (auto failure = created.workbook->Commit()) return "fail\t" + failure->path + "\t" + failure->reason;
    return "ok";
}

struct Outcome {
    bool saved = false;
    std::string path;
    std::string reason;
};

Outcome Parse(const std::string& result) {
    Outcome outcome;
    if (result == "ok") {
        outcome.saved = true;
        return outcome;
    }
    const std::size_t first = result.find('\t');
    const std::size_t second = result.find('\t', first + 1);
    if (result.rfind("fail\t", 0) == 0 && second != std::string::npos) {
        outcome.path = result.substr(first + 1, second - first - 1);
        outcome.reason = result.substr(second + 1);
    } else {
        outcome.reason = "unparsable child result: " + result;
    }
    return outcome;
}

// What must hold after any save attempt on folder/name with rows rows.
void ExpectSavedWholeOrNothingChanged(const Outcome& outcome, const std::string& folder, const std::string& name,
                                      int rows) {
    const std::string path = folder + "/" + name;
    EXPECT_EQ(FolderListing(folder), std::set<std::string>{name}) << "a temporary file was left behind";
    if (outcome.saved) {
        const testing::Workbook read = testing::ReadWorkbook(path);
        ASSERT_TRUE(read.readable) << "success was reported for a workbook that does not read back: " << read.error;
        ASSERT_EQ(read.sheets.size(), 1u);
        ASSERT_EQ(read.sheets[0].rows.size(), static_cast<std::size_t>(rows) + 1);
        EXPECT_EQ(read.sheets[0].At(static_cast<std::size_t>(rows) + 1, 14), TextToUtf8(NoisyRow(rows)[13]));
    } else {
        EXPECT_EQ(FileBytes(path), kEarlier) << "a failed save touched the earlier file";
        EXPECT_EQ(outcome.path, path);
        EXPECT_FALSE(outcome.reason.empty());
        EXPECT_FALSE(fixtures::IsAscii(outcome.reason)) << outcome.reason;
    }
}

// A small tmpfs in its own mount namespace, so that nothing outside the
// child sees it and it goes with the child. Needs root (CI runs as root).
bool MountSmallDisk(const std::string& folder, const char* options) {
    return ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options) == 0;
}

bool CanMount() {
    const testing::ChildOutcome probe = testing::RunInChild([] {
        testing::TempDirectory directory;
        return MountSmallDisk(directory.path(), "size=64k") ? std::string("yes") : std::string("no");
    });
    return probe.result == "yes";
}

class SafeSaveTest : public ::testing::Test {
protected:
    std::string Folder() const { return directory_.path(); }

    testing::TempDirectory directory_;
};

TEST_F(SafeSaveTest, AFullDiskFailsTheSaveAndKeepsTheEarlierWorkbook) {
    if (!CanMount()) GTEST_SKIP() << "mounting a tmpfs needs root";
    // From rows that fit easily to rows that fill the disk while they are
    // written: each failure point in between is crossed by some count.
    int failures = 0;
    for (const int rows : {20, 150, 300, 450, 600, 900, 1500, 3000}) {
        for (const char* name : {"out.xlsx", "out.csv"}) {
            SCOPED_TRACE(std::string(name) + " with " + std::to_string(rows) + " rows");
            const std::string folder = Folder() + "/disk-" + std::to_string(rows) + "-" + name;
            ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
            const testing::ChildOutcome child = testing::RunInChild([&] {
                if (!MountSmallDisk(folder, "size=256k")) return std::string("cannot mount");
                fixtures::WriteFileBytes(folder + "/" + name, kEarlier);
                std::string result = WriteAndSave(folder + "/" + name, rows);
                // The disk goes with the child: report what it holds now.
                result += "\n";
                for (const std::string& entry : FolderListing(folder)) result += entry + "\n";
                result += "\n" + FileBytes(folder + "/" + name);
                return result;
            });
            ASSERT_TRUE(child.exited) << "signal " << child.signal;
            EXPECT_EQ(child.standardError, "") << "a library printed to the terminal";
            const std::size_t resultEnd = child.result.find('\n');
            const std::size_t listingEnd = child.result.find("\n\n", resultEnd);
            ASSERT_NE(listingEnd, std::string::npos) << child.result;
            const Outcome outcome = Parse(child.result.substr(0, resultEnd));
            EXPECT_EQ(child.result.substr(resultEnd + 1, listingEnd - resultEnd), std::string(name) + "\n")
                << "the disk held other files";
            const std::string bytes = child.result.substr(listingEnd + 2);
            if (outcome.saved) {
                EXPECT_NE(bytes, kEarlier);
            } else {
                ++failures;
                EXPECT_EQ(bytes, kEarlier) << "a failed save touched the earlier file";
                EXPECT_EQ(outcome.path, folder + "/" + name);
                EXPECT_EQ(outcome.reason, "磁盘空间不足");
            }
        }
    }
    EXPECT_GT(failures, 0) << "the disk never filled";
}

TEST_F(SafeSaveTest, AFullDiskNeverYieldsAWorkbookThatDoesNotReadBack) {
    if (!CanMount()) GTEST_SKIP() << "mounting a tmpfs needs root";
    // The saved workbook is read back by an independent reader while the
    // small disk still exists, in the child.
    for (const int rows : {100, 300, 500, 700}) {
        SCOPED_TRACE(std::to_string(rows) + " rows");
        const std::string folder = Folder() + "/disk-" + std::to_string(rows);
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        const testing::ChildOutcome child = testing::RunInChild([&] {
            if (!MountSmallDisk(folder, "size=256k")) return std::string("cannot mount");
            fixtures::WriteFileBytes(folder + "/out.xlsx", kEarlier);
            const Outcome outcome = Parse(WriteAndSave(folder + "/out.xlsx", rows));
            std::string report = outcome.saved ? "saved" : "failed";
            if (outcome.saved) {
                const testing::Workbook read = testing::ReadWorkbook(folder + "/out.xlsx");
                report += read.readable && read.sheets.size() == 1 &&
                                  read.sheets[0].rows.size() == static_cast<std::size_t>(rows) + 1
                              ? " readable"
                              : " unreadable";
            } else {
                report += FileBytes(folder + "/out.xlsx") == kEarlier ? " kept" : " damaged";
                report += FolderListing(folder) == std::set<std::string>{"out.xlsx"} ? " clean" : " leftovers";
            }
            return report;
        });
        ASSERT_TRUE(child.exited);
        EXPECT_TRUE(child.result == "saved readable" || child.result == "failed kept clean") << child.result;
    }
}

TEST_F(SafeSaveTest, ADiskThatFillsAtAnySizeFailsCleanlyOrSavesEveryRow) {
    if (!CanMount()) GTEST_SKIP() << "mounting a tmpfs needs root";
    // One run of rows on disks of several sizes, so that the disk fills in
    // the rows, in the closing parts, or not at all; for the extractor's
    // kind (an earlier file replaced) and the window's (a fresh name).
    const int rows = 900;
    int failures = 0;
    int saves = 0;
    for (const char* size : {"64k", "96k", "128k", "160k", "192k", "256k", "320k", "512k", "1m"}) {
        for (const bool fresh : {false, true}) {
            SCOPED_TRACE(std::string(size) + (fresh ? " fresh name" : " replacing"));
            const std::string folder = Folder() + "/disk-" + size + (fresh ? "-fresh" : "");
            ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
            const testing::ChildOutcome child = testing::RunInChild([&] {
                if (!MountSmallDisk(folder, (std::string("size=") + size).c_str())) return std::string("cannot mount");
                const std::string name = fresh ? "run.xlsx" : "out.xlsx";
                if (!fresh) fixtures::WriteFileBytes(folder + "/" + name, kEarlier);
                CreatedWorkbook created = fresh ? CreateWorkbookUnderFreshName(folder + "/run", FourteenColumns())
                                                : CreateRowWorkbook(folder + "/" + name, FourteenColumns());
                std::optional<WorkbookFailure> failure;
                if (!created.workbook) failure = created.failure;
                for (int number = 1; number <= rows && !failure; ++number) {
                    const std::vector<Text> row = NoisyRow(number);
                    failure = created.workbook->AppendRow(row);
                }
                if (!failure) failure = created.workbook->Commit();
                const std::set<std::string> listing = FolderListing(folder);
                if (failure) {
                    std::string report = "failed " + failure->reason;
                    report += failure->path == folder + "/" + name ? " named" : " misnamed " + failure->path;
                    if (fresh) {
                        report += listing.empty() ? " kept clean" : " leftovers";
                    } else {
                        report += FileBytes(folder + "/" + name) == kEarlier ? " kept" : " damaged";
                        report += listing == std::set<std::string>{name} ? " clean" : " leftovers";
                    }
                    return report;
                }
                if (listing != std::set<std::string>{name} || created.workbook->Path() != folder + "/" + name) {
                    return std::string("saved with leftovers or under another name");
                }
                const testing::Workbook read = testing::ReadWorkbook(folder + "/" + name);
                if (!read.readable || read.sheets.size() != 1 ||
                    read.sheets[0].rows.size() != static_cast<std::size_t>(rows) + 1) {
                    return std::string("saved unreadable or short");
                }
                for (int number = 1; number <= rows; ++number) {
                    for (std::size_t column = 1; column <= 14; ++column) {
                        if (read.sheets[0].At(static_cast<std::size_t>(number) + 1, column) !=
                            TextToUtf8(NoisyRow(number)[column - 1])) {
                            return "saved with row " + std::to_string(number) + " wrong";
                        }
                    }
                }
                return std::string("saved every row");
            });
            if (child.result == "cannot mount") GTEST_SKIP() << "no private mount namespace here";
            ASSERT_TRUE(child.exited) << "signal " << child.signal;
            EXPECT_EQ(child.standardError, "");
            if (child.result == "saved every row") {
                ++saves;
            } else {
                ++failures;
                EXPECT_EQ(child.result, "failed 磁盘空间不足 named kept clean");
            }
        }
    }
    EXPECT_GT(failures, 0) << "the disk never filled";
    EXPECT_GT(saves, 0) << "no disk was large enough";
}

TEST_F(SafeSaveTest, AFileSizeLimitFailsTheSaveWithoutRootAndPrintsNothing) {
    // RLIMIT_FSIZE makes every write past the limit fail with EFBIG (with
    // SIGXFSZ ignored): the row files, libxlsxwriter's part files and the
    // zip alike, at whichever point the limit is crossed.
    int failures = 0;
    int saves = 0;
    for (const rlim_t limit : {rlim_t{2048}, rlim_t{16384}, rlim_t{65536}, rlim_t{131072}, rlim_t{262144},
                               rlim_t{393216}, rlim_t{524288}, rlim_t{4 << 20}}) {
        for (const char* name : {"out.xlsx", "out.csv"}) {
            SCOPED_TRACE(std::string(name) + " limited to " + std::to_string(limit) + " bytes");
            const std::string folder = Folder() + "/limit-" + std::to_string(limit) + "-" + name;
            ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
            fixtures::WriteFileBytes(folder + "/" + name, kEarlier);
            const int rows = 1200;
            const testing::ChildOutcome child = testing::RunInChild([&] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit size{limit, limit};
                if (::setrlimit(RLIMIT_FSIZE, &size) != 0) return std::string("cannot limit");
                return WriteAndSave(folder + "/" + name, rows);
            });
            ASSERT_TRUE(child.exited) << "signal " << child.signal;
            EXPECT_EQ(child.standardError, "") << "a library printed to the terminal";
            const Outcome outcome = Parse(child.result);
            if (std::string(name) == "out.xlsx") {
                ExpectSavedWholeOrNothingChanged(outcome, folder, name, rows);
            } else {
                EXPECT_EQ(FolderListing(folder), std::set<std::string>{name});
                if (!outcome.saved) {
                    EXPECT_EQ(FileBytes(folder + "/" + name), kEarlier);
                }
            }
            if (outcome.saved) {
                ++saves;
            } else {
                ++failures;
                EXPECT_FALSE(fixtures::IsAscii(outcome.reason)) << outcome.reason;
            }
        }
    }
    EXPECT_GT(failures, 0) << "the limit never struck";
    EXPECT_GT(saves, 0) << "no limit was generous enough";
}

TEST_F(SafeSaveTest, AFolderGoneBeforeTheSaveFailsItQuietly) {
    // libxlsxwriter prints "[ERROR] workbook_close(): Error creating ..."
    // when it cannot open the file it saves into; that line must not reach
    // the terminal, the reason must reach the caller.
    const std::string folder = Folder() + "/gone";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const testing::ChildOutcome child = testing::RunInChild([&] {
        CreatedWorkbook created = CreateRowWorkbook(folder + "/out.xlsx", FourteenColumns());
        if (!created.workbook) return std::string("not created");
        for (int number = 1; number <= 100; ++number) {
            const std::vector<Text> row = NoisyRow(number);
            if (created.workbook->AppendRow(row)) return std::string("append failed");
        }
        if (::rename(folder.c_str(), (Folder() + "/moved").c_str()) != 0) return std::string("cannot move");
        const auto failure = created.workbook->Commit();
        return failure ? failure->path + "\t" + failure->reason : std::string("saved");
    });
    ASSERT_TRUE(child.exited);
    EXPECT_EQ(child.result, folder + "/out.xlsx\t文件夹不存在");
    EXPECT_EQ(child.standardError, "");
}

TEST_F(SafeSaveTest, AMissingFolderFailsAtCreateNamingThePath) {
    for (const char* name : {"out.xlsx", "out.csv"}) {
        const std::string path = Folder() + "/missing/" + name;
        const CreatedWorkbook created = CreateRowWorkbook(path, FourteenColumns());
        EXPECT_EQ(created.workbook, nullptr);
        EXPECT_EQ(created.failure.path, path);
        EXPECT_EQ(created.failure.reason, "文件夹不存在");
    }
}

TEST_F(SafeSaveTest, AFolderInPlaceOfTheFileFailsAtCreate) {
    const std::string path = Folder() + "/out.xlsx";
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    const CreatedWorkbook created = CreateRowWorkbook(path, FourteenColumns());
    EXPECT_EQ(created.workbook, nullptr);
    EXPECT_EQ(created.failure.path, path);
    EXPECT_EQ(created.failure.reason, "同名的不是普通文件");
    EXPECT_EQ(FolderListing(Folder()), std::set<std::string>{"out.xlsx"});
}

TEST_F(SafeSaveTest, AFolderWithoutWritePermissionFailsAtCreate) {
    const std::string folder = Folder() + "/readonly";
    ASSERT_EQ(::mkdir(folder.c_str(), 0555), 0);
    // Root writes anywhere; the check runs as an ordinary user then.
    ASSERT_EQ(::chmod(Folder().c_str(), 0755), 0);
    for (const char* name : {"out.xlsx", "out.csv"}) {
        const std::string path = folder + "/" + name;
        const testing::ChildOutcome child = testing::RunInChild([&] {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return std::string("cannot drop root");
            const CreatedWorkbook created = CreateRowWorkbook(path, FourteenColumns());
            if (created.workbook) return std::string("created");
            return created.failure.path + "\t" + created.failure.reason;
        });
        EXPECT_EQ(child.result, path + "\t没有写入权限");
        EXPECT_TRUE(FolderListing(folder).empty());
    }
}

TEST_F(SafeSaveTest, AnEarlierFileMadeReadOnlyIsNotReplaced) {
    const std::string path = Folder() + "/out.xlsx";
    fixtures::WriteFileBytes(path, kEarlier);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(Folder().c_str(), 0777), 0);
    const testing::ChildOutcome child = testing::RunInChild([&] {
        // As an ordinary user: root may write any file.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return std::string("cannot drop root");
        const CreatedWorkbook created = CreateRowWorkbook(path, FourteenColumns());
        return created.workbook ? std::string("created") : created.failure.path + "\t" + created.failure.reason;
    });
    EXPECT_EQ(child.result, path + "\t没有写入权限");
    EXPECT_EQ(FileBytes(path), kEarlier);
    EXPECT_EQ(FolderListing(Folder()), std::set<std::string>{"out.xlsx"});
}

TEST_F(SafeSaveTest, AReadOnlyFileSystemFailsAtCreate) {
    if (!CanMount()) GTEST_SKIP() << "mounting a tmpfs needs root";
    const std::string folder = Folder() + "/ro";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const testing::ChildOutcome child = testing::RunInChild([&] {
        if (!MountSmallDisk(folder, "size=64k") || ::mount("none", folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            return std::string("cannot mount");
        }
        const CreatedWorkbook created = CreateRowWorkbook(folder + "/out.xlsx", FourteenColumns());
        return created.workbook ? std::string("created") : created.failure.reason;
    });
    EXPECT_EQ(child.result, "文件系统只读");
}

TEST_F(SafeSaveTest, ANameWithAnotherExtensionIsRefused) {
    const std::string path = Folder() + "/out.txt";
    const CreatedWorkbook created = CreateRowWorkbook(path, FourteenColumns());
    EXPECT_EQ(created.workbook, nullptr);
    EXPECT_EQ(created.failure.path, path);
    EXPECT_FALSE(fixtures::IsAscii(created.failure.reason));
    EXPECT_TRUE(FolderListing(Folder()).empty());
}

TEST_F(SafeSaveTest, ARunWithoutSystemTemporaryFolderStillSaves) {
    if (!CanMount()) GTEST_SKIP() << "a read-only /tmp needs root";
    // /tmp made read-only in the child's own mount namespace: any attempt
    // to keep data there fails the save. The destination is a fresh tmpfs
    // mounted on top, so it stays writable.
    const std::string folder = Folder() + "/destination";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const testing::ChildOutcome child = testing::RunInChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("/tmp", "/tmp", nullptr, MS_BIND, nullptr) != 0 ||
            ::mount("none", "/tmp", nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0 ||
            ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=8m") != 0) {
            return std::string("cannot mount");
        }
        const int probe = ::open("/tmp/quillmere-probe", O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (probe >= 0 || errno != EROFS) return std::string("/tmp is still writable");
        std::string result;
        for (const char* name : {"out.xlsx", "out.csv"}) result += WriteAndSave(folder + "/" + name, 2000) + ";";
        return result;
    });
    if (child.result == "cannot mount") GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(child.result, "ok;ok;");
    EXPECT_EQ(child.standardError, "");
}

}  // namespace
}  // namespace quillmere::sheet
