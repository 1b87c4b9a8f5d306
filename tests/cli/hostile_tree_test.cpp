// The command-line extractor on folders that hold whatever people copied
// into them: links that loop, FIFOs, sockets, unreadable folders, names in
// other encodings or with control characters, huge and half-written files,
// deep trees and files of every format cut short.
//
// Every case checks the same four things: the run completes (the extractor
// runs under `timeout`, so a hang fails instead of blocking the suite), each
// file has exactly one row, no row shows another file's values, and nothing
// but the extractor's own completion line reaches the terminal.

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "../support/command_output.h"
#include "../support/deep_tree.h"
#include "../support/jpeg_fixture.h"
#include "../support/open_watch.h"
#include "../support/sanitizer_build.h"
#include "../support/temp_directory.h"
#include "../support/temp_tree.h"
#include "../support/utf8_reference.h"
#include "../support/workbook_reader.h"
#include "format_samples.h"

namespace quillmere::testing {
namespace {

constexpr int kTimedOut = 124;  // timeout's exit code when it had to stop the extractor
constexpr std::time_t kMarch7th2015At060509Utc = 1425708309;
constexpr const char* kMarch7th2015Local = "2015年3月7日14时5分9秒";  // the extractor runs at UTC+8
constexpr const char* kMissingFileTimeText = "100年1月1日";

// ---- running the extractor ----

struct RunOptions {
    std::string workingDirectory;  // empty: the test's own
    std::string prefix;            // shell words before the command (ulimit, setpriv)
    std::string extractor;         // empty: the one in the build folder
    std::vector<std::string> extraArguments;
};

struct CommandResult {
    int exitCode = -1;
    std::string output;    // standard output and standard error together
    std::string workbook;  // -o as given
};

using quillmere::testing::ShellQuoted;

CommandResult RunExtractor(const std::string& folder, const std::string& output, const RunOptions& options = {}) {
    std::string command;
    if (!options.workingDirectory.empty()) command += "cd " + ShellQuoted(options.workingDirectory) + " && ";
    // China Standard Time as a rule string, so file times read the same however the tests are started.
    const std::string extractor =
        options.extractor.empty() ? std::string(QUILLMERE_BINARY_DIR "/cli/quillmere-extract") : options.extractor;
    command += options.prefix + " env TZ=CST-8 timeout -k 5 60 " + ShellQuoted(extractor);
    for (const std::string& argument : options.extraArguments) command += " " + ShellQuoted(argument);
    command += " -o " + ShellQuoted(output) + " " + ShellQuoted(folder) + " 2>&1 </dev/null";
    CommandResult result;
    result.workbook = output;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return result;
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) result.output.append(buffer, got);
    const int status = pclose(pipe.release());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string CompletionLine(std::size_t files) {
    return "提取元数据完成，本次共提取" + std::to_string(files) + "个文件的元数据信息。\n";
}

// The run ended by itself, successfully, and printed its completion line
// with the workbook's path below it and nothing else: no library warning,
// no stray diagnostic.
void ExpectCleanCompletion(const CommandResult& result, std::size_t files) {
    EXPECT_NE(result.exitCode, kTimedOut) << "the extractor hung and was stopped";
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, CompletionLine(files) + result.workbook + "\n");
}

// ---- reading the rows back ----

// A cell as a spreadsheet application shows it: the workbook stores control
// characters (and a literal "_x" that would read as one) as _xHHHH_.
std::string ExcelText(const std::string& stored) {
    std::string shown;
    for (std::size_t i = 0; i < stored.size();) {
        if (stored.compare(i, 2, "_x") == 0 && i + 7 <= stored.size() && stored[i + 6] == '_' &&
            std::all_of(stored.begin() + static_cast<long>(i) + 2, stored.begin() + static_cast<long>(i) + 6,
                        [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; })) {
            const unsigned long code = std::stoul(stored.substr(i + 2, 4), nullptr, 16);
            quillmere::testing::AppendUtf8(shown, static_cast<char32_t>(code));
            i += 7;
        } else {
            shown += stored[i++];
        }
    }
    return shown;
}

struct Row {
    std::string stem;      // A
    std::string time;      // E
    std::string format;    // H
    std::string fileName;  // I
    std::string size;      // J
    ImageColumns image;    // K to N
};

// The file rows of the first sheet, keyed by column I. Fails the test when
// the sheet is unreadable, holds more than one sheet, or lists a name twice.
std::map<std::string, Row> ReadRows(const std::string& workbookPath) {
    std::map<std::string, Row> rows;
    const Workbook book = ReadWorkbook(workbookPath);
    EXPECT_TRUE(book.readable) << book.error;
    if (!book.readable) return rows;
    EXPECT_EQ(book.sheets.size(), 1u);
    const WorkbookSheet& sheet = book.sheets.at(0);
    EXPECT_EQ(sheet.At(1, 9), "计算机文件名");
    for (std::size_t r = 2; r <= sheet.rows.size(); ++r) {
        const auto cell = [&](std::size_t column) {
            const std::string value = sheet.At(r, column);
            return value == "<none>" ? std::string() : ExcelText(value);
        };
        Row row{cell(1), cell(5), cell(8), cell(9), cell(10), {cell(11), cell(12), cell(13), cell(14)}};
        const bool fresh = rows.emplace(row.fileName, row).second;
        EXPECT_TRUE(fresh) << "two rows for " << row.fileName;
    }
    return rows;
}

// Exactly one row per expected file name, and no other row.
void ExpectRowsFor(const std::map<std::string, Row>& rows, std::vector<std::string> names) {
    std::vector<std::string> found;
    for (const auto& [name, row] : rows) found.push_back(name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(found, names);
}

// A copy, so a row read for a name built in the call outlives that name.
Row RowOf(const std::map<std::string, Row>& rows, const std::string& name) {
    const auto found = rows.find(name);
    EXPECT_NE(found, rows.end()) << "no row for " << name;
    return found == rows.end() ? Row{"<no row>", "", "", "", "", {}} : found->second;
}

std::string SizeOf(const std::string& path) { return std::to_string(std::filesystem::file_size(path)); }

// ---- files ----

// The valid neighbour every hostile file follows in name order: a broken file
// that showed any of these values would be showing its neighbour's.
// Its quality is neither libjpeg's default nor the 90 of a file without one.
const ImageColumns kNeighbourColumns{"37*23", "300", "真彩色", "63%"};
std::string NeighbourJpeg() {
    static const std::string bytes =
        MakeJpeg({.width = 37, .height = 23, .components = 3, .densityUnit = 1, .density = 300, .quality = 63});
    return bytes;
}

void MakeSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    close(fd);  // the socket file stays behind, as a crashed server leaves it
    ASSERT_EQ(bound, 0) << path;
}

void MakeSparseFile(const std::string& path, std::int64_t size, const std::string& head = {}) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    const bool written = head.empty() || write(fd, head.data(), head.size()) == static_cast<ssize_t>(head.size());
    const bool sized = ftruncate(fd, static_cast<off_t>(size)) == 0;
    close(fd);
    ASSERT_TRUE(written && sized) << path;
}

// ---- links ----

TEST(HostileTree, SymbolicLinkLoopsAndLinksToTheRootEndTheScan) {
    TempTree tree;
    tree.File("scan/0001.jpg", NeighbourJpeg());
    tree.File("scan/dir/b.txt", "bee");
    tree.File("scan/dir/sub/c.txt", "sea");
    ASSERT_EQ(symlink("..", tree.Path("scan/dir/loop").c_str()), 0);
    ASSERT_EQ(symlink(".", tree.Path("scan/dir/self").c_str()), 0);
    ASSERT_EQ(symlink(tree.Path("scan").c_str(), tree.Path("scan/dir/root").c_str()), 0);
    ASSERT_EQ(symlink("../..", tree.Path("scan/dir/sub/up").c_str()), 0);
    // A link to a file is that file: it shows the file's own values.
    ASSERT_EQ(symlink("0001.jpg", tree.Path("scan/zz-alias.jpg").c_str()), 0);

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, 4);
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, {"0001.jpg", "b.txt", "c.txt", "zz-alias.jpg"});
    EXPECT_EQ(RowOf(rows, "b.txt").size, "3");
    EXPECT_EQ(RowOf(rows, "b.txt").image, kNotAnImage);
    EXPECT_EQ(RowOf(rows, "c.txt").image, kNotAnImage);
    EXPECT_EQ(RowOf(rows, "zz-alias.jpg").image, kNeighbourColumns);
    EXPECT_EQ(RowOf(rows, "zz-alias.jpg").size, SizeOf(tree.Path("scan/0001.jpg")));
}

TEST(HostileTree, DanglingAndLoopingFileLinksShowAMissingFile) {
    struct Case {
        std::string name;
        std::string target;
    };
    const std::vector<Case> cases = {
        {"01-b.jpg", "nowhere.jpg"},
        {"02-b.tif", "/nonexistent/quillmere/scan.tif"},
        {"03-b.png", "03-b.png"},  // a link to itself
        {"04-b.bmp", "04-c.bmp"},  // two links to each other
        {"04-c.bmp", "04-b.bmp"},
    };
    TempTree tree;
    std::vector<std::string> names;
    for (const Case& c : cases) {
        const std::string neighbour = c.name.substr(0, 2) + "-a.jpg";
        if (std::find(names.begin(), names.end(), neighbour) == names.end()) {
            tree.File("scan/" + neighbour, NeighbourJpeg());
            names.push_back(neighbour);
        }
        ASSERT_EQ(symlink(c.target.c_str(), tree.Path("scan/" + c.name).c_str()), 0) << c.name;
        names.push_back(c.name);
    }

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, names.size());
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, names);
    for (const Case& c : cases) {
        const Row row = RowOf(rows, c.name);
        EXPECT_EQ(row.size, "-1") << c.name;
        EXPECT_EQ(row.time, kMissingFileTimeText) << c.name;
        EXPECT_EQ(row.image, kNotAnImage) << c.name;
    }
}

// ---- entries that are not regular files ----

TEST(HostileTree, FifosSocketsAndDevicesGetRowsButAreNeverOpened) {
    TempTree tree;
    tree.Directory("scan");
    std::vector<std::string> names;
    for (const char* prefix : {"01", "02", "03", "04"}) {
        tree.File("scan/" + std::string(prefix) + "-a.jpg", NeighbourJpeg());
        names.push_back(std::string(prefix) + "-a.jpg");
    }
    MakeFifo(tree.Path("scan/01-b.jpg"));
    tree.FileTime("scan/01-b.jpg", kMarch7th2015At060509Utc);
    MakeSocket(tree.Path("scan/02-b.jpg"));
    tree.FileTime("scan/02-b.jpg", kMarch7th2015At060509Utc);
    ASSERT_EQ(symlink("/dev/zero", tree.Path("scan/03-b.jpg").c_str()), 0);  // endless if ever read
    ASSERT_EQ(symlink("01-b.jpg", tree.Path("scan/04-b.jpg").c_str()), 0);   // a FIFO behind a link
    names.insert(names.end(), {"01-b.jpg", "02-b.jpg", "03-b.jpg", "04-b.jpg"});
    const OpenWatch fifo(tree.Path("scan/01-b.jpg"));
    const OpenWatch image(tree.Path("scan/01-a.jpg"));
    ASSERT_TRUE(fifo.watching() && image.watching());

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, names.size());
    EXPECT_TRUE(image.SawOpen()) << "the watch should see the probe open an image";
    // Opening a FIFO can block, or release a writer waiting on the other end.
    EXPECT_FALSE(fifo.SawOpen()) << "the FIFO was opened";
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, names);
    for (const char* name : {"01-b.jpg", "02-b.jpg", "04-b.jpg"}) {
        const Row row = RowOf(rows, name);
        EXPECT_EQ(row.size, "0") << name;
        EXPECT_EQ(row.time, kMarch7th2015Local) << name;
        EXPECT_EQ(row.image, kNotAnImage) << name;
    }
    EXPECT_EQ(RowOf(rows, "03-b.jpg").size, "0");
    EXPECT_EQ(RowOf(rows, "03-b.jpg").image, kNotAnImage);
    EXPECT_EQ(RowOf(rows, "04-a.jpg").image, kNeighbourColumns);
}

// ---- permissions ----

// Restores owner permissions on paths a test locked, so the tree can be removed.
class PermissionRestorer {
public:
    void Lock(const std::string& path, mode_t mode) {
        ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
        locked_.push_back(path);
    }
    ~PermissionRestorer() {
        for (const std::string& path : locked_) chmod(path.c_str(), 0755);
    }

private:
    std::vector<std::string> locked_;
};

// Makes options run the extractor as nobody from a copy in the tree, since
// the build folder may lie where nobody cannot enter (root's home, a folder
// made by mktemp -d). False, saying why, when nobody cannot reach the tree
// itself either (TMPDIR inside such a folder).
bool PrepareRunAsNobody(const TempTree& tree, RunOptions& options) {
    tree.Directory("bin");
    const std::string copy = tree.Path("bin/quillmere-extract");
    std::error_code error;
    std::filesystem::copy_file(QUILLMERE_BINARY_DIR "/cli/quillmere-extract", copy, error);
    EXPECT_FALSE(error) << copy << ": " << error.message();
    if (error || chmod(tree.root().c_str(), 0755) != 0 || chmod(tree.Path("bin").c_str(), 0755) != 0 ||
        chmod(copy.c_str(), 0755) != 0 || chmod(tree.Path("out").c_str(), 0777) != 0) {
        ADD_FAILURE() << "cannot make " << tree.root() << " usable by nobody";
        return false;
    }
    const std::string asNobody = "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups";
    // A sanitizer build reads its suppressions file as nobody too.
    std::string environment;
    if (const char* lsan = std::getenv("LSAN_OPTIONS"); lsan != nullptr) {
        std::string settings = lsan;
        if (const auto at = settings.find("suppressions="); at != std::string::npos) {
            const auto start = at + std::strlen("suppressions=");
            const auto end = std::min(settings.find(':', start), settings.size());
            const std::string reachable = tree.Path("bin/lsan.supp");
            std::filesystem::copy_file(settings.substr(start, end - start), reachable, error);
            EXPECT_FALSE(error) << "LSan suppressions: " << error.message();
            chmod(reachable.c_str(), 0644);
            settings.replace(start, end - start, reachable);
        }
        environment = " env LSAN_OPTIONS=" + ShellQuoted(settings);
    }
    const std::string probe = asNobody + " test -x " + ShellQuoted(copy) + " -a -w " + ShellQuoted(tree.Path("out"));
    if (std::system(probe.c_str()) != 0) {
        std::printf("[   NOTE   ] nobody cannot enter %s (a parent folder is closed to others): the run is made "
                    "as root, which reads every file; set TMPDIR to a folder everyone can enter to check "
                    "unreadable files\n",
                    tree.root().c_str());
        return false;
    }
    options.prefix = asNobody + environment;
    options.extractor = copy;
    return true;
}

// As root every permission is ignored, so the run is made as an unprivileged
// user where setpriv allows it; otherwise root sees everything and the rows
// must show that.
TEST(HostileTree, UnreadableFoldersAndFilesDoNotStopTheRun) {
    TempTree tree;
    tree.File("scan/0001.jpg", NeighbourJpeg());
    tree.File("scan/0002.jpg", NeighbourJpeg());  // unreadable
    tree.File("scan/locked/inner.jpg", NeighbourJpeg());
    tree.File("scan/locked/sub/deeper.txt", "x");
    tree.File("scan/search-only/hidden-name.txt", "x");
    tree.File("scan/list-only/listed.jpg", NeighbourJpeg());
    tree.Directory("out");
    tree.FileTime("scan/0002.jpg", kMarch7th2015At060509Utc);

    RunOptions options;
    const bool root = geteuid() == 0;
    const bool dropToNobody = root && access("/usr/bin/setpriv", X_OK) == 0 && PrepareRunAsNobody(tree, options);
    const bool permissionsHold = !root || dropToNobody;
    PermissionRestorer restorer;
    restorer.Lock(tree.Path("scan/0002.jpg"), 0);
    restorer.Lock(tree.Path("scan/locked"), 0);
    restorer.Lock(tree.Path("scan/search-only"), 0111);
    restorer.Lock(tree.Path("scan/list-only"), 0444);

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out/out.xlsx"), options);

    const auto rows = ReadRows(tree.Path("out/out.xlsx"));
    const Row unreadable = RowOf(rows, "0002.jpg");
    EXPECT_EQ(unreadable.size, SizeOf(tree.Path("scan/0001.jpg")));
    EXPECT_EQ(unreadable.time, kMarch7th2015Local);
    EXPECT_EQ(RowOf(rows, "0001.jpg").image, kNeighbourColumns);
    const Row listed = RowOf(rows, "listed.jpg");
    if (permissionsHold) {
        // A folder that cannot be read lists as empty and is counted; a
        // name that can be listed but not looked up shows a missing file.
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(result.output, CompletionLine(3) + result.workbook + "\n有2个文件夹无法读取，其中的文件未能全部提取。\n");
        ExpectRowsFor(rows, {"0001.jpg", "0002.jpg", "listed.jpg"});
        EXPECT_EQ(unreadable.image, kNotAnImage);
        EXPECT_EQ(listed.size, "-1");
        EXPECT_EQ(listed.time, kMissingFileTimeText);
        EXPECT_EQ(listed.image, kNotAnImage);
    } else {
        ExpectCleanCompletion(result, 6);
        ExpectRowsFor(rows, {"0001.jpg", "0002.jpg", "inner.jpg", "deeper.txt", "hidden-name.txt", "listed.jpg"});
        EXPECT_EQ(unreadable.image, kNeighbourColumns);
        EXPECT_EQ(listed.image, kNeighbourColumns);
        EXPECT_EQ(RowOf(rows, "deeper.txt").image, kNotAnImage);
    }
}

// ---- names ----

TEST(HostileTree, NamesThatAreNotUtf8ShowAsTheirGbkCharacters) {
    const std::string dangAn = "\xB5\xB5\xB0\xB8";    // 档案 in GBK
    const std::string wenShu = "\xCE\xC4\xCA\xE9";    // 文书
    const std::string diYiYe = "\xB5\xDA" "1" "\xD2\xB3";  // 第1页
    TempTree tree;
    tree.File("scan/" + dangAn + "0001.jpg", MakeJpeg({.width = 20, .height = 10, .densityUnit = 1, .density = 72}));
    tree.File("scan/" + wenShu + "/" + diYiYe + ".TXT", "page one");
    tree.File("scan/\x81\x5C" "0002.tif", "x");  // 乗: its trail byte is a backslash
    tree.FileTime("scan/" + dangAn + "0001.jpg", kMarch7th2015At060509Utc);
    tree.FileTime("scan/" + wenShu + "/" + diYiYe + ".TXT", kMarch7th2015At060509Utc);

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, 3);
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, {"档案0001.jpg", "第1页.TXT", "乗0002.tif"});
    EXPECT_EQ(RowOf(rows, "乗0002.tif").stem, "乗0002");
    EXPECT_EQ(RowOf(rows, "乗0002.tif").format, "TIF");
    EXPECT_EQ(RowOf(rows, "乗0002.tif").size, "1");
    const Row jpeg = RowOf(rows, "档案0001.jpg");
    EXPECT_EQ(jpeg.stem, "档案0001");
    EXPECT_EQ(jpeg.format, "JPG");
    EXPECT_EQ(jpeg.size, SizeOf(tree.Path("scan/" + dangAn + "0001.jpg")));
    EXPECT_EQ(jpeg.time, kMarch7th2015Local);
    EXPECT_EQ(jpeg.image, (ImageColumns{"20*10", "72", "真彩色", "75%"}));
    const Row text = RowOf(rows, "第1页.TXT");
    EXPECT_EQ(text.stem, "第1页");
    EXPECT_EQ(text.size, "8");
    EXPECT_EQ(text.time, kMarch7th2015Local);
    EXPECT_EQ(text.image, kNotAnImage);
}

TEST(HostileTree, NamesWithControlCharactersKeepThemInTheirCells) {
    const std::vector<std::string> names = {
        "line\nbreak.jpg", "carriage\rreturn.jpg", "tab\there.jpg", "bell\x07.jpg",
        "escape\x1b[31mred.jpg", "delete\x7f.jpg", " spaced .jpg", "literal_x000D_.jpg",
        "markup<&>]]>\"'.jpg", "=HYPERLINK(\"x\").jpg", "dir\\from-a-zip.jpg",
    };
    TempTree tree;
    for (std::size_t i = 0; i < names.size(); ++i) {
        tree.File("scan/" + names[i], i % 2 == 0 ? NeighbourJpeg() : std::string(i + 1, 'x'));
    }

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, names.size());
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, names);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const Row row = RowOf(rows, names[i]);
        EXPECT_EQ(row.stem, names[i].substr(0, names[i].size() - 4));
        EXPECT_EQ(row.size, SizeOf(tree.Path("scan/" + names[i])));
        EXPECT_EQ(row.image, i % 2 == 0 ? kNeighbourColumns : kNotAnImage) << names[i];
    }
}

// U+FFFE and U+FFFF are valid UTF-8 in a name but no XML text may hold
// them; written raw, they make the whole sheet unreadable.
TEST(HostileTree, NamesWithCharactersXmlCannotHoldKeepTheWorkbookReadable) {
    const std::vector<std::string> names = {"a\xEF\xBF\xBE.jpg", "b\xEF\xBF\xBF.txt"};
    TempTree tree;
    tree.File("scan/" + names[0], NeighbourJpeg());
    tree.File("scan/" + names[1], "bee");

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, names.size());
    const Workbook book = ReadWorkbook(tree.Path("out.xlsx"));
    ASSERT_TRUE(book.readable) << book.error;
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, names);
    EXPECT_EQ(RowOf(rows, names[0]).image, kNeighbourColumns);
    EXPECT_EQ(RowOf(rows, names[1]).size, "3");
}

TEST(HostileTree, NamesOfTheLongestLengthKeepEveryByte) {
    std::string utf8Stem;  // 83 three-byte characters, then "01": 251 bytes
    for (int i = 0; i < 83; ++i) utf8Stem += "档";
    utf8Stem += "01";
    std::string gbkStem, gbkShown;  // 125 two-byte GBK characters, then "1": 251 bytes
    for (int i = 0; i < 125; ++i) {
        gbkStem += "\xB5\xB5";
        gbkShown += "档";
    }
    gbkStem += "1";
    gbkShown += "1";
    ASSERT_EQ((utf8Stem + ".jpg").size(), 255u);
    ASSERT_EQ((gbkStem + ".tif").size(), 255u);
    TempTree tree;
    tree.File("scan/" + utf8Stem + ".jpg", MakeJpeg({.width = 20, .height = 10, .densityUnit = 1, .density = 72}));
    tree.File("scan/" + gbkStem + ".tif", MakeTiff(20, 10, 72));

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, 2);
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, {utf8Stem + ".jpg", gbkShown + ".tif"});
    const Row utf8 = RowOf(rows, utf8Stem + ".jpg");
    EXPECT_EQ(utf8.stem, utf8Stem);
    EXPECT_EQ(utf8.size, SizeOf(tree.Path("scan/" + utf8Stem + ".jpg")));
    EXPECT_EQ(utf8.image, (ImageColumns{"20*10", "72", "真彩色", "75%"}));
    const Row gbk = RowOf(rows, gbkShown + ".tif");
    EXPECT_EQ(gbk.stem, gbkShown);
    EXPECT_EQ(gbk.size, SizeOf(tree.Path("scan/" + gbkStem + ".tif")));
    EXPECT_EQ(gbk.image, (ImageColumns{"20*10", "72", "真彩色"}));
}

// Names holding wildcard characters, in the chosen folder's name too, are
// names like any other: nothing on the way treats them as patterns.
TEST(HostileTree, WildcardsInNamesAreTakenLiterally) {
    TempTree tree;
    tree.File("sc*an?/star*.jpg", NeighbourJpeg());
    tree.File("sc*an?/q?.txt", "qq");
    tree.File("sc*an?/*", "star");
    tree.File("sc*an?/sub*/[a].txt", "a");

    const CommandResult result = RunExtractor(tree.Path("sc*an?"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, 4);
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, {"star*.jpg", "q?.txt", "*", "[a].txt"});
    EXPECT_EQ(RowOf(rows, "star*.jpg").image, kNeighbourColumns);
    EXPECT_EQ(RowOf(rows, "q?.txt").size, "2");
    EXPECT_EQ(RowOf(rows, "*").size, "4");
    EXPECT_EQ(RowOf(rows, "[a].txt").size, "1");
}

// A folder named by a relative path gives entries like "s/a", shorter than
// any absolute path; such a file is still probed.
TEST(HostileTree, ShortRelativePathsAreProbedLikeAnyOther) {
    TempTree tree;
    tree.File("s/0001.jpg", NeighbourJpeg());
    tree.File("s/a", "not an image");
    tree.File("s/b", MakeJpeg({.width = 20, .height = 10, .densityUnit = 1, .density = 72}));

    RunOptions options;
    options.workingDirectory = tree.root();
    const CommandResult result = RunExtractor("s", tree.Path("out.xlsx"), options);

    ExpectCleanCompletion(result, 3);
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, {"0001.jpg", "a", "b"});
    EXPECT_EQ(RowOf(rows, "a").size, "12");
    EXPECT_EQ(RowOf(rows, "a").image, kNotAnImage);
    EXPECT_EQ(RowOf(rows, "b").image, (ImageColumns{"20*10", "72", "真彩色", "75%"}));
}

// ---- sizes ----

TEST(HostileTree, SizesPastFourGibibytesShowInFull) {
    const std::vector<std::pair<std::string, std::int64_t>> files = {
        {"3g.tif", 3000000000},
        {"4g.jpg", 4294967296},
        {"4g-plus-one.png", 4294967297},
    };
    TempTree tree;
    std::vector<std::string> names;
    for (const auto& [name, size] : files) {
        tree.File("scan/" + name.substr(0, name.find('.')) + "-a.jpg", NeighbourJpeg());
        MakeSparseFile(tree.Path("scan/" + name), size);
        names.push_back(name.substr(0, name.find('.')) + "-a.jpg");
        names.push_back(name);
    }

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, names.size());
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, names);
    for (const auto& [name, size] : files) {
        EXPECT_EQ(RowOf(rows, name).size, std::to_string(size));
        EXPECT_EQ(RowOf(rows, name).image, kNotAnImage) << name;
    }
}

// ---- depth ----

TEST(HostileTree, EveryFileOfATreeAHundredLevelsDeepHasItsRow) {
    TempTree tree;
    std::string directory = "scan";
    std::vector<std::string> names;
    for (int level = 0; level < 100; ++level) {
        directory += "/d" + std::to_string(level);
        const std::string name = "f" + std::to_string(level) + ".jpg";
        tree.File(directory + "/" + name, NeighbourJpeg());
        names.push_back(name);
    }

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, names.size());
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, names);
    for (const std::string& name : names) EXPECT_EQ(RowOf(rows, name).image, kNeighbourColumns) << name;
}

// Paths past 4096 bytes: archives copied from systems with long-path support.
TEST(HostileTree, FilesBelowPathsLongerThanPathMaxStillHaveTheirRows) {
    TempTree tree;
    tree.Directory("scan");
    const DeepTreeCleanup cleanup(tree.Path("scan"));
    const std::vector<std::string> files = MakeDeepTree(tree.Path("scan"), 25, NeighbourJpeg());
    ASSERT_EQ(files.size(), 25u);
    ASSERT_GT(tree.Path("scan/" + files.back()).size(), 5000u);
    tree.File("scan/0001.jpg", NeighbourJpeg());

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, files.size() + 1);
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    std::vector<std::string> names = {"0001.jpg"};
    for (int level = 0; level < 25; ++level) names.push_back("f" + std::to_string(level) + ".jpg");
    ExpectRowsFor(rows, names);
    for (const std::string& name : names) {
        EXPECT_EQ(RowOf(rows, name).size, std::to_string(NeighbourJpeg().size())) << name;
        EXPECT_NE(RowOf(rows, name).time, kMissingFileTimeText) << name;
    }
    // Files below paths longer than PATH_MAX are probed as well.
    for (const std::string& file : files) {
        const std::string name = file.substr(file.rfind('/') + 1);
        EXPECT_EQ(RowOf(rows, name).image, kNeighbourColumns) << name;
    }
}

// ---- damaged files ----

// Where to cut a file: every length through its first 64 bytes, then every
// seventh, and the last byte short.
std::vector<std::size_t> CutPoints(std::size_t size) {
    std::vector<std::size_t> cuts;
    for (std::size_t cut = 0; cut < size; cut += cut < 64 ? 1 : 7) cuts.push_back(cut);
    if (size > 0 && cuts.back() != size - 1) cuts.push_back(size - 1);
    return cuts;
}

std::string Numbered(std::size_t number) {
    std::string text = std::to_string(number);
    return std::string(text.size() < 4 ? 4 - text.size() : 0, '0') + text;
}

class TruncatedFiles : public ::testing::TestWithParam<FormatSample> {};

// Every cut of a valid file, each right after a valid JPEG of other values:
// the cut file shows its own header's values where they survived and the
// values of no image where they did not, never its neighbour's.
TEST_P(TruncatedFiles, ShowTheirOwnValuesOrNoneButNeverTheirNeighbours) {
    const FormatSample& sample = GetParam();
    ASSERT_FALSE(sample.bytes.empty()) << "the sample could not be made";
    TempTree tree;
    tree.Directory("scan");
    std::vector<std::size_t> cuts = CutPoints(sample.bytes.size());
    cuts.push_back(sample.bytes.size());  // the intact file shows exactly its values
    std::vector<std::string> names;
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        const std::string number = Numbered(i);
        tree.File("scan/" + number + "-a.jpg", NeighbourJpeg());
        tree.File("scan/" + number + "-b." + sample.name, sample.bytes.substr(0, cuts[i]));
        names.push_back(number + "-a.jpg");
        names.push_back(number + "-b." + sample.name);
    }

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, names.size());
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, names);
    const auto ownOrNone = [](const std::string& shown, const std::string& own, const std::string& none) {
        return shown == own || shown == none;
    };
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        const std::string name = Numbered(i) + "-b." + sample.name;
        const Row row = RowOf(rows, name);
        const std::string where = sample.name + " cut to " + std::to_string(cuts[i]) + " bytes";
        EXPECT_EQ(row.size, std::to_string(cuts[i])) << where;
        EXPECT_EQ(RowOf(rows, Numbered(i) + "-a.jpg").image, kNeighbourColumns) << where;
        if (cuts[i] == sample.bytes.size()) {
            EXPECT_EQ(row.image, sample.intact) << where;
        } else if (cuts[i] == 0) {
            EXPECT_EQ(row.image, kNotAnImage) << where;
        } else {
            EXPECT_TRUE(ownOrNone(row.image.shape, sample.intact.shape, kNotAnImage.shape)) << where << ": "
                                                                                            << row.image.shape;
            EXPECT_TRUE(ownOrNone(row.image.dpi, sample.intact.dpi, kNotAnImage.dpi)) << where << ": "
                                                                                      << row.image.dpi;
            EXPECT_TRUE(ownOrNone(row.image.colours, sample.intact.colours, kNotAnImage.colours))
                << where << ": " << row.image.colours;
            EXPECT_TRUE(ownOrNone(row.image.quality, sample.intact.quality, kNotAnImage.quality))
                << where << ": " << row.image.quality;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, TruncatedFiles, ::testing::ValuesIn(AllFormatSamples()),
                         [](const ::testing::TestParamInfo<FormatSample>& info) { return info.param.name; });

// A copy that was cut off after allocating its whole size: the first half
// of a valid file, then zeros (a hole) up to a terabyte. A probe that read
// on through the zeros would take hours.
class HalfWrittenFiles : public ::testing::TestWithParam<FormatSample> {};

TEST_P(HalfWrittenFiles, AreProbedWithoutReadingTheirEmptyRest) {
    const FormatSample& sample = GetParam();
    constexpr std::int64_t kTerabyte = 1000000000000;
    TempTree tree;
    tree.File("scan/1-a.jpg", NeighbourJpeg());
    MakeSparseFile(tree.Path("scan/1-b." + sample.name), kTerabyte, sample.bytes.substr(0, sample.bytes.size() / 2));

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, 2);
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, {"1-a.jpg", "1-b." + sample.name});
    const Row row = RowOf(rows, "1-b." + sample.name);
    EXPECT_EQ(row.size, std::to_string(kTerabyte));
    EXPECT_TRUE(row.image == sample.intact || row.image == kNotAnImage) << ::testing::PrintToString(row.image);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, HalfWrittenFiles, ::testing::ValuesIn(AllFormatSamples()),
                         [](const ::testing::TestParamInfo<FormatSample>& info) { return info.param.name; });

// Files damaged anywhere, not just cut: a few bytes of each intact sample
// overwritten, flipped or cut, mostly in the header where decoders decide.
// The damage is drawn from a fixed seed, so every run sees the same files.
std::string Damaged(std::string bytes, std::mt19937& random) {
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < changes && !bytes.empty(); ++i) {
        const std::size_t span = random() % 2 == 0 ? std::min<std::size_t>(bytes.size(), 64) : bytes.size();
        const std::size_t at = random() % span;
        switch (random() % 4) {
            case 0: bytes[at] = static_cast<char>(random()); break;
            case 1: bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8))); break;
            case 2: bytes[at] = random() % 2 == 0 ? '\xFF' : '\0'; break;
            default: bytes.resize(at + 1); break;
        }
    }
    return bytes;
}

class DamagedFiles : public ::testing::TestWithParam<FormatSample> {};

TEST_P(DamagedFiles, EachGetTheirRowAndNothingLeaksToTheTerminal) {
    const FormatSample& sample = GetParam();
    constexpr int kFiles = 300;
    std::mt19937 random(20240801);
    TempTree tree;
    std::vector<std::string> names;
    std::map<std::string, std::size_t> sizes;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = Numbered(static_cast<std::size_t>(i)) + "." + sample.name;
        const std::string bytes = Damaged(sample.bytes, random);
        tree.File("scan/" + name, bytes);
        names.push_back(name);
        sizes[name] = bytes.size();
    }

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, names.size());
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, names);
    for (const std::string& name : names) EXPECT_EQ(RowOf(rows, name).size, std::to_string(sizes[name])) << name;
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, DamagedFiles, ::testing::ValuesIn(AllFormatSamples()),
                         [](const ::testing::TestParamInfo<FormatSample>& info) { return info.param.name; });

// Notes and lists people keep beside their scans are no images, whatever
// their first bytes happen to be.
TEST(HostileTree, TextFilesShowNoImageValues) {
    TempTree tree;
    tree.File("scan/1-a.jpg", NeighbourJpeg());
    tree.File("scan/1-b.txt", "档案 AB\n");  // E6 A1 A3 E6 A1 88 20 41 ...
    tree.File("scan/2-a.jpg", NeighbourJpeg());
    tree.File("scan/2-b.txt", "档号,页数\n0001,12\n");

    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"));

    ExpectCleanCompletion(result, 4);
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, {"1-a.jpg", "1-b.txt", "2-a.jpg", "2-b.txt"});
    EXPECT_EQ(RowOf(rows, "2-b.txt").image, kNotAnImage);
    EXPECT_EQ(RowOf(rows, "1-b.txt").image, kNotAnImage);
}

// ---- huge claims ----

// Overwrites the frame header's height and width of a JPEG.
std::string WithClaimedJpegSize(std::string jpeg, unsigned width, unsigned height) {
    for (std::size_t i = 2; i + 9 < jpeg.size();) {
        const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
        const std::size_t length = static_cast<unsigned char>(jpeg[i + 2]) * 256u +
                                   static_cast<unsigned char>(jpeg[i + 3]);
        if (marker == 0xC0 || marker == 0xC2) {
            jpeg[i + 5] = static_cast<char>(height >> 8);
            jpeg[i + 6] = static_cast<char>(height & 0xFF);
            jpeg[i + 7] = static_cast<char>(width >> 8);
            jpeg[i + 8] = static_cast<char>(width & 0xFF);
            break;
        }
        i += 2 + length;
    }
    return jpeg;
}

std::string MakeProgressiveJpeg() {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 16;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.density_unit = 1;
    cinfo.X_density = 600;
    cinfo.Y_density = 600;
    jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(16 * 3, 200);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

// Writes value into bytes at offset, little-endian, in `width` bytes.
std::string Patched(std::string bytes, std::size_t offset, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

// 65500 x 65500 pixels take 12 GB and more to decode; the run gets 2 GiB of
// address space, so only a probe that reads headers alone shows the sizes.
// Each file is its header alone, as the start of a copy that never finished.
TEST(HostileTree, HugeClaimedSizesAreReportedWithoutDecodingThePixels) {
    constexpr std::uint32_t kSide = 65500;
    struct Case {
        std::string name;
        std::string bytes;
        ImageColumns shows;
    };
    const std::string bmp = MakeBmp(20, 10, 2835);
    const std::string tga = MakeTga(20, 10);
    const std::string pcx = MakePcx(20, 10, 72);
    const std::vector<Case> cases = {
        {"baseline.jpg", WithClaimedJpegSize(MakeJpeg({.width = 16, .height = 16, .density = 600}), kSide, kSide),
         {"65500*65500", "600", "真彩色", "75%"}},
        {"progressive.jpg", WithClaimedJpegSize(MakeProgressiveJpeg(), kSide, kSide),
         {"65500*65500", "600", "真彩色", "75%"}},
        {"scan.bmp", Patched(Patched(bmp, 18, kSide, 4), 22, kSide, 4).substr(0, 54), {"65500*65500", "72", "真彩色"}},
        {"scan.tga", Patched(Patched(tga, 12, kSide, 2), 14, kSide, 2).substr(0, 18), {"65500*65500", "96", "真彩色"}},
        {"scan.pcx", Patched(Patched(pcx, 8, kSide - 1, 2), 10, kSide - 1, 2).substr(0, 128),
         {"65500*65500", "72", "256色"}},
        {"scan.gif", Patched(Patched(MakeGif(20, 10), 6, kSide, 2), 8, kSide, 2), {"65500*65500", "96", "2色"}},
    };
    TempTree tree;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string number = Numbered(i);
        tree.File("scan/" + number + "-a.jpg", NeighbourJpeg());
        tree.File("scan/" + number + "-b-" + cases[i].name, cases[i].bytes);
        names.push_back(number + "-a.jpg");
        names.push_back(number + "-b-" + cases[i].name);
    }

    RunOptions options;
    // The sanitizers' shadow memory needs more address space than any cap;
    // there the test still checks the rows.
    if (!kShadowMemorySanitizer) options.prefix = "ulimit -v 2097152 &&";
    options.extraArguments = {"--jobs", "2"};
    const CommandResult result = RunExtractor(tree.Path("scan"), tree.Path("out.xlsx"), options);

    ExpectCleanCompletion(result, names.size());
    const auto rows = ReadRows(tree.Path("out.xlsx"));
    ExpectRowsFor(rows, names);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(RowOf(rows, Numbered(i) + "-b-" + cases[i].name).image, cases[i].shows) << cases[i].name;
    }
}

}  // namespace
}  // namespace quillmere::testing

