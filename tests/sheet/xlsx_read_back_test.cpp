// The read-back that stands between a written workbook and its name: it
// accepts what libxlsxwriter wrote and refuses every way of losing part of
// it, including the one libxlsxwriter does not notice itself (a part file
// cut short, zipped with a CRC that matches the cut data).
#include "sheet/xlsx_read_back.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include "runtime/file_descriptor.h"
#include "sheet/zip_stream.h"
#include "tests/sheet/row_workbook_fixtures.h"
#include "tests/support/command_output.h"
#include "tests/support/temp_directory.h"

namespace quillmere::sheet {
namespace {

// A zip holding one deflated entry, every size and CRC consistent with
// the data given.
std::string ZipOfOnePart(const std::string& name, const std::string& part) {
    std::string deflated(compressBound(static_cast<uLong>(part.size())) + 64, '\0');
    z_stream out{};
    if (deflateInit2(&out, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    out.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(part.data()));
    out.avail_in = static_cast<uInt>(part.size());
    out.next_out = reinterpret_cast<Bytef*>(deflated.data());
    out.avail_out = static_cast<uInt>(deflated.size());
    const int result = deflate(&out, Z_FINISH);
    deflated.resize(out.total_out);
    deflateEnd(&out);
    if (result != Z_STREAM_END) return {};
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(part.data()), static_cast<uInt>(part.size())));
    const auto le = [](std::uint32_t value, int bytes) {
        std::string text;
        for (int i = 0; i < bytes; ++i) text += static_cast<char>((value >> (8 * i)) & 0xFF);
        return text;
    };
    const auto size = static_cast<std::uint32_t>(part.size());
    const auto packed = static_cast<std::uint32_t>(deflated.size());
    const auto nameSize = static_cast<std::uint32_t>(name.size());
    std::string zip = std::string("PK\x03\x04") + le(20, 2) + le(0, 2) + le(8, 2) + le(0, 4) + le(crc, 4) +
                      le(packed, 4) + le(size, 4) + le(nameSize, 2) + le(0, 2) + name + deflated;
    const auto directoryOffset = static_cast<std::uint32_t>(zip.size());
    const std::string directory = std::string("PK\x01\x02") + le(20, 2) + le(20, 2) + le(0, 2) + le(8, 2) + le(0, 4) +
                                  le(crc, 4) + le(packed, 4) + le(size, 4) + le(nameSize, 2) + le(0, 2) + le(0, 2) +
                                  le(0, 2) + le(0, 2) + le(0, 4) + le(0, 4) + name;
    return zip + directory + "PK\x05\x06" + le(0, 2) + le(0, 2) + le(1, 2) + le(1, 2) +
           le(static_cast<std::uint32_t>(directory.size()), 4) + le(directoryOffset, 4) + le(0, 2);
}

class XlsxReadBackTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Two sheets, 301 and 5 rows, as libxlsxwriter writes them.
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        lxw_workbook* workbook = workbook_new_opt(Path().c_str(), &options);
        ASSERT_NE(workbook, nullptr);
        lxw_worksheet* first = workbook_add_worksheet(workbook, "Sheet1");
        lxw_worksheet* second = workbook_add_worksheet(workbook, "Sheet2");
        for (lxw_row_t row = 0; row < 301; ++row) {
            worksheet_write_string(first, row, 0, ("row " + std::to_string(row + 1)).c_str(), nullptr);
            worksheet_write_string(first, row, 1, "值", nullptr);
        }
        for (lxw_row_t row = 0; row < 5; ++row) worksheet_write_string(second, row, 0, "x", nullptr);
        worksheet_autofilter(first, 0, 0, 300, 1);
        ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);
        bytes_ = fixtures::FileBytes(Path());
        ASSERT_GT(bytes_.size(), 1000u);
    }

    std::string Path() const { return directory_.path() + "/book.xlsx"; }

    std::optional<std::string> Check(const std::string& bytes, std::vector<std::int64_t> lastRows = {301, 5}) {
        const std::string path = directory_.path() + "/variant.xlsx";
        fixtures::WriteFileBytes(path, bytes);
        const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        EXPECT_TRUE(fd.valid());
        return ReadBackXlsx(fd.get(), lastRows, RowXmlBound(64, 2));
    }

    // The zip entry named name: offset of its local header, of its data,
    // and its compressed size, from the central directory.
    struct Located {
        std::size_t header = 0;
        std::size_t data = 0;
        std::size_t compressedSize = 0;
        std::size_t directoryEntry = 0;
    };
    Located Locate(const std::string& name) const {
        const auto le16 = [&](std::size_t at) {
            return static_cast<std::size_t>(static_cast<unsigned char>(bytes_[at]) | (static_cast<unsigned char>(bytes_[at + 1]) << 8));
        };
        const auto le32 = [&](std::size_t at) { return le16(at) | (le16(at + 2) << 16); };
        Located located;
        for (std::size_t at = bytes_.find("PK\x01\x02"); at != std::string::npos; at = bytes_.find("PK\x01\x02", at + 4)) {
            if (bytes_.compare(at + 46, name.size(), name) != 0 || le16(at + 28) != name.size()) continue;
            located.directoryEntry = at;
            located.header = le32(at + 42);
            located.compressedSize = le32(at + 20);
            located.data = located.header + 30 + le16(located.header + 26) + le16(located.header + 28);
            return located;
        }
        ADD_FAILURE() << name << " not found";
        return located;
    }

    testing::TempDirectory directory_;
    std::string bytes_;
};

TEST_F(XlsxReadBackTest, AWholeWorkbookReadsBack) {
    const auto failure = Check(bytes_);
    EXPECT_FALSE(failure.has_value()) << *failure;
}

TEST_F(XlsxReadBackTest, AWorkbookCutAnywhereIsRefused) {
    for (const std::size_t keep : {std::size_t{0}, std::size_t{10}, std::size_t{200}, bytes_.size() / 2,
                                   bytes_.size() - 100, bytes_.size() - 22, bytes_.size() - 1}) {
        const auto failure = Check(bytes_.substr(0, keep));
        EXPECT_TRUE(failure.has_value()) << "kept " << keep << " of " << bytes_.size() << " bytes";
    }
}

TEST_F(XlsxReadBackTest, AChangedByteInASheetIsRefused) {
    const Located sheet = Locate("xl/worksheets/sheet1.xml");
    for (const std::size_t offset : {std::size_t{0}, sheet.compressedSize / 2, sheet.compressedSize - 1}) {
        std::string changed = bytes_;
        changed[sheet.data + offset] = static_cast<char>(changed[sheet.data + offset] ^ 0x20);
        EXPECT_TRUE(Check(changed).has_value()) << "byte " << offset << " of the sheet's data";
    }
}

TEST_F(XlsxReadBackTest, AStoredCrcThatDoesNotMatchIsRefused) {
    const Located styles = Locate("xl/styles.xml");
    std::string changed = bytes_;
    changed[styles.directoryEntry + 16] = static_cast<char>(changed[styles.directoryEntry + 16] ^ 1);
    const auto failure = Check(changed);
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find("xl/styles.xml"), std::string::npos) << *failure;
}

TEST_F(XlsxReadBackTest, ASheetEndingBeforeItsLastRowIsRefused) {
    EXPECT_TRUE(Check(bytes_, {302, 5}).has_value());
    EXPECT_TRUE(Check(bytes_, {300, 5}).has_value());
    EXPECT_TRUE(Check(bytes_, {301, 6}).has_value());
    EXPECT_TRUE(Check(bytes_, {301, 5, 1}).has_value()) << "a third sheet was expected";
}

TEST_F(XlsxReadBackTest, APartCutShortButZippedWholeIsRefused) {
    // What a full disk does to libxlsxwriter's part file: the zip entry is
    // consistent, its XML is not. Rebuild the sheet entry from cut XML.
    const Located sheet = Locate("xl/worksheets/sheet1.xml");
    std::string xml(4 << 20, '\0');
    z_stream stream{};
    ASSERT_EQ(inflateInit2(&stream, -MAX_WBITS), Z_OK);
    stream.next_in = reinterpret_cast<Bytef*>(bytes_.data() + sheet.data);
    stream.avail_in = static_cast<uInt>(sheet.compressedSize);
    stream.next_out = reinterpret_cast<Bytef*>(xml.data());
    stream.avail_out = static_cast<uInt>(xml.size());
    ASSERT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    xml.resize(stream.total_out);
    inflateEnd(&stream);

    // The whole XML in such a zip passes: what fails below is the cut.
    const auto failure = Check(ZipOfOnePart("xl/worksheets/sheet1.xml", xml), {301});
    EXPECT_FALSE(failure.has_value()) << *failure;
    for (const std::size_t cut : {xml.size() / 3, xml.size() - 40, xml.size() - 1}) {
        EXPECT_TRUE(Check(ZipOfOnePart("xl/worksheets/sheet1.xml", xml.substr(0, cut)), {301}).has_value())
            << "sheet XML cut to " << cut << " of " << xml.size() << " bytes";
    }
    // Another part cut short is refused too, by its missing closing tag.
    EXPECT_TRUE(Check(ZipOfOnePart("xl/styles.xml", "<?xml version=\"1.0\"?>\n<styleSheet><fonts>"), {}).has_value());
    EXPECT_FALSE(Check(ZipOfOnePart("xl/styles.xml", "<?xml version=\"1.0\"?>\n<styleSheet><fonts/></styleSheet>\n"), {})
                     .has_value());
}

TEST_F(XlsxReadBackTest, ASheetMissingOrReorderingRowsInTheMiddleIsRefused) {
    // Whole zips, closing tags and last rows all in place: only the rows
    // between show what was lost.
    const auto sheetOf = [](const std::vector<int>& rows) {
        std::string xml = "<?xml version=\"1.0\"?>\n<worksheet><sheetData>";
        for (const int row : rows) {
            xml += "<row r=\"" + std::to_string(row) + "\"><c r=\"A" + std::to_string(row) +
                   "\" t=\"inlineStr\"><is><t>" + std::string(static_cast<std::size_t>(row % 7) * 300, 'v') +
                   "</t></is></c></row>";
        }
        return xml + "</sheetData></worksheet>";
    };
    std::vector<int> whole;
    for (int row = 1; row <= 3000; ++row) whole.push_back(row);
    EXPECT_FALSE(Check(ZipOfOnePart("xl/worksheets/sheet1.xml", sheetOf(whole)), {3000}).has_value());
    const struct {
        const char* what;
        std::vector<int> rows;
    } cases[] = {
        {"a gap", [&] { auto rows = whole; rows.erase(rows.begin() + 1500, rows.begin() + 1800); return rows; }()},
        {"one row lost", [&] { auto rows = whole; rows.erase(rows.begin() + 10); return rows; }()},
        {"two rows swapped", [&] { auto rows = whole; std::swap(rows[100], rows[101]); return rows; }()},
        {"a row twice", [&] { auto rows = whole; rows[200] = 200; return rows; }()},
        {"the first row lost", [&] { auto rows = whole; rows.erase(rows.begin()); return rows; }()},
    };
    for (const auto& c : cases) {
        const auto failure = Check(ZipOfOnePart("xl/worksheets/sheet1.xml", sheetOf(c.rows)), {3000});
        ASSERT_TRUE(failure.has_value()) << c.what;
        EXPECT_NE(failure->find("读回校验失败"), std::string::npos) << *failure;
    }
}

// Archives past the plain zip limits: one with more entries than the end
// record counts, one whose entry is larger than 4 GiB. Python's zipfile
// checks our zip64 records independently.
TEST(XlsxReadBackZip64Test, ArchivesPastThePlainLimitsReadBackAndPythonAgrees) {
    testing::TempDirectory directory;
    const struct {
        const char* what;
        int entries;
        std::uint64_t bytesInFirst;
    } cases[] = {
        {"65,536 entries", 65536, 0},
        {"an entry of 4 GiB and 1 MiB", 1, (std::uint64_t{4} << 30) + (1u << 20)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = directory.path() + "/big.zip";
        const FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        ASSERT_TRUE(fd.valid());
        {
            ZipStream zip(fd.get(), 1);
            const std::string zeros(1u << 20, '\0');
            for (int entry = 0; entry < c.entries; ++entry) {
                ASSERT_EQ(zip.StartEntry("part" + std::to_string(entry) + ".bin"), 0);
                for (std::uint64_t written = 0; entry == 0 && written < c.bytesInFirst; written += zeros.size()) {
                    ASSERT_EQ(zip.Write(zeros), 0);
                }
                ASSERT_EQ(zip.FinishEntry(), 0);
            }
            ASSERT_EQ(zip.Finish(), 0);
        }
        const auto failure = ReadBackXlsx(fd.get(), std::span<const std::int64_t>(), RowXmlBound(64, 2));
        EXPECT_FALSE(failure.has_value()) << *failure;
        const auto python = testing::RunCommand(
            "/usr/bin/python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
            "print(len(z.infolist()), z.infolist()[0].file_size)' " +
            testing::ShellQuoted(path));
        EXPECT_EQ(python.output, std::to_string(c.entries) + " " + std::to_string(c.bytesInFirst) + "\n");
        // Cut in its directory, it is refused.
        ASSERT_EQ(::ftruncate(fd.get(), ::lseek(fd.get(), 0, SEEK_END) - 30), 0);
        EXPECT_TRUE(ReadBackXlsx(fd.get(), std::span<const std::int64_t>(), RowXmlBound(64, 2)).has_value());
    }
}

// A large sheet read back in pieces side by side, cut at the restart points
// its writer marked: whole, it passes (and Python reads it); a changed byte
// in a later piece, rows lost where two pieces meet, or points that do not
// match the data are refused.
TEST(XlsxReadBackPiecesTest, ALargeSheetReadInPiecesPassesOnlyWhenEveryPieceIsWhole) {
    testing::TempDirectory directory;
    const std::string path = directory.path() + "/sheet.zip";
    const std::string cell(200, 'v');
    struct Written {
        std::string bytes;
        std::vector<SheetRestartPoint> points;
        std::int64_t lastRow = 0;
    };
    // rows 1..count, skipping skipped; a restart point every 20,000 rows.
    const auto write = [&](int count, int skipped) {
        Written written;
        const FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        ZipStream zip(fd.get(), 1);
        EXPECT_EQ(zip.StartEntry("xl/worksheets/sheet1.xml"), 0);
        EXPECT_EQ(zip.Write("<?xml version=\"1.0\"?>\n<worksheet><sheetData>"), 0);
        std::int64_t rows = 0;
        for (int row = 1; row <= count; ++row) {
            if (row != skipped) {
                EXPECT_EQ(zip.Write("<row r=\"" + std::to_string(row) + "\"><c><is><t>" + cell + "</t></is></c></row>"), 0);
                rows = row;
            }
            if (row % 20000 == 0 && row < count) {
                SheetRestartPoint point;
                EXPECT_EQ(zip.MarkRestartPoint(point.at), 0);
                point.rowsBefore = row;
                written.points.push_back(point);
            }
        }
        EXPECT_EQ(zip.Write("</sheetData></worksheet>"), 0);
        EXPECT_EQ(zip.FinishEntry(), 0);
        EXPECT_EQ(zip.Finish(), 0);
        written.bytes = fixtures::FileBytes(path);
        written.lastRow = rows;
        return written;
    };
    const auto check = [&](const std::string& bytes, const std::vector<SheetRestartPoint>& points, std::int64_t lastRow) {
        fixtures::WriteFileBytes(path, bytes);
        const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        const SheetWritten sheet{lastRow, points};
        return ReadBackXlsx(fd.get(), std::span<const SheetWritten>(&sheet, 1), RowXmlBound(256, 1));
    };

    const Written whole = write(80000, 0);  // 20 MB of XML, three points
    ASSERT_EQ(whole.points.size(), 3u);
    EXPECT_FALSE(check(whole.bytes, whole.points, 80000).has_value());
    EXPECT_FALSE(check(whole.bytes, {}, 80000).has_value()) << "read in one piece it is the same file";
    fixtures::WriteFileBytes(path, whole.bytes);
    const auto python = testing::RunCommand(
        "/usr/bin/python3 -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).testzip())' " +
        testing::ShellQuoted(path));
    EXPECT_EQ(python.output, "None\n");

    std::string changed = whole.bytes;
    const std::size_t late = 30 + 24 + 20 + static_cast<std::size_t>(whole.points[2].at.compressedOffset) + 1000;
    changed[late] = static_cast<char>(changed[late] ^ 0x20);
    EXPECT_TRUE(check(changed, whole.points, 80000).has_value()) << "a changed byte in the last piece";

    // Row 40,001 missing, right where the third piece starts.
    const Written gap = write(80000, 40001);
    EXPECT_TRUE(check(gap.bytes, gap.points, gap.lastRow).has_value());

    std::vector<SheetRestartPoint> wrongRows = whole.points;
    wrongRows[1].rowsBefore += 1;
    EXPECT_TRUE(check(whole.bytes, wrongRows, 80000).has_value()) << "a point that says one row too many";
    std::vector<SheetRestartPoint> wrongPlace = whole.points;
    wrongPlace[1].at.compressedOffset -= 7;
    EXPECT_TRUE(check(whole.bytes, wrongPlace, 80000).has_value()) << "a point that is not where the data restarts";
}

}  // namespace
}  // namespace quillmere::sheet

namespace quillmere::sheet {
namespace {

// A sheet read back as soon as its entry was finished: the read finds what
// the read at the commit would, and the commit takes its result for an
// entry the directory records just as it was read, and reads any other.
TEST(XlsxEarlyReadBackTest, AFinishedSheetReadsBackAloneAndTheCommitTakesItsResult) {
    testing::TempDirectory directory;
    const std::string path = directory.path() + "/book.zip";
    const std::string sheetXml = [] {
        std::string xml = "<?xml version=\"1.0\"?>\n<worksheet><sheetData>";
        for (int row = 1; row <= 3000; ++row) xml += "<row r=\"" + std::to_string(row) + "\"><c><is><t>第" +
                                                      std::to_string(row) + "行</t></is></c></row>";
        return xml + "</sheetData></worksheet>";
    }();
    const SheetWritten first{3000, {}};
    const SheetWritten sheets[] = {first, SheetWritten{3000, {}}};
    ZipEntryRecord firstEntry;
    {
        const FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        ZipStream zip(fd.get(), 1);
        ASSERT_EQ(zip.StartEntry("xl/worksheets/sheet1.xml"), 0);
        ASSERT_EQ(zip.Write(sheetXml), 0);
        ASSERT_EQ(zip.FinishEntry(), 0);
        firstEntry = zip.LastEntry();
        // Read while the archive goes on, as the writer does.
        const EarlyReadBack whole = ReadBackSheetEntry(fd.get(), firstEntry, first, RowXmlBound(64, 1));
        EXPECT_FALSE(whole.failure.has_value()) << *whole.failure;
        EXPECT_TRUE(ReadBackSheetEntry(fd.get(), firstEntry, SheetWritten{2999, {}}, RowXmlBound(64, 1)).failure)
            << "a sheet that ends after the row it was last given";
        ASSERT_EQ(zip.StartEntry("xl/worksheets/sheet2.xml"), 0);
        ASSERT_EQ(zip.Write(sheetXml), 0);
        ASSERT_EQ(zip.FinishEntry(), 0);
        ASSERT_EQ(zip.Finish(), 0);
    }
    const std::string bytes = fixtures::FileBytes(path);
    const std::size_t firstData = static_cast<std::size_t>(firstEntry.localOffset) + 30 + firstEntry.name.size() + 20;
    std::string damaged = bytes;
    damaged[firstData + firstEntry.compressedSize / 2] ^= 0x20;

    const auto check = [&](const std::string& file, std::vector<EarlyReadBack> early) {
        fixtures::WriteFileBytes(path, file);
        const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        return ReadBackXlsx(fd.get(), sheets, RowXmlBound(64, 1), early);
    };
    fixtures::WriteFileBytes(path, damaged);
    {
        const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        EXPECT_TRUE(ReadBackSheetEntry(fd.get(), firstEntry, first, RowXmlBound(64, 1)).failure)
            << "a changed byte in the sheet's data";
    }
    EXPECT_FALSE(check(bytes, {}).has_value());
    EXPECT_FALSE(check(bytes, {EarlyReadBack{firstEntry, std::nullopt}}).has_value());
    EXPECT_EQ(check(bytes, {EarlyReadBack{firstEntry, "读回校验失败：早先读到的"}}), "读回校验失败：早先读到的")
        << "the early read's finding stands";
    ZipEntryRecord elsewhere = firstEntry;
    elsewhere.crc ^= 1;
    EXPECT_TRUE(check(damaged, {EarlyReadBack{elsewhere, std::nullopt}}).has_value())
        << "an entry recorded otherwise than it was read is read again";
    EXPECT_TRUE(check(damaged, {}).has_value());
}

}  // namespace
}  // namespace quillmere::sheet
