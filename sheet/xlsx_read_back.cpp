#include "sheet/xlsx_read_back.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "sheet/zip_format.h"

namespace quillmere::sheet {

namespace {

using namespace zip;

constexpr std::size_t kLongestZipComment = 65535;

constexpr std::size_t kChunk = 256 * 1024;
constexpr std::size_t kOutputRoom = 4 * kChunk;
// The end of a part kept for its checks: its closing tag (and, of a
// worksheet, its last row) lies within these last bytes.
constexpr std::size_t kTailKept = 64 * 1024;
constexpr std::size_t kHeadKept = 512;
// A part this small may be a lone self-closing root element.
constexpr std::uint64_t kSmallPart = 4096;

constexpr std::string_view kRowTag = "<row r=\"";

std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
std::uint64_t Le64(const unsigned char* p) { return Le32(p) | (std::uint64_t{Le32(p + 4)} << 32); }

bool ReadAt(int fd, unsigned char* buffer, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
        const ssize_t got = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        buffer += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

// An entry as the central directory records it.
struct Entry : ZipEntryRecord {
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
};

std::string Damaged(const std::string& what) { return "读回校验失败：" + what; }

// What the content of one part showed: its first bytes as they stream
// past, and at the end its last ones.
class PartScanner {
public:
    // rowsBefore: rows of the part before the piece this scanner reads.
    explicit PartScanner(std::int64_t rowsBefore = 0) : rows_(rowsBefore) {}

    void Add(std::string_view fresh) {
        if (head_.size() < kHeadKept) head_.append(fresh.substr(0, kHeadKept - head_.size()));
        std::size_t at = 0;
        while (at < fresh.size()) {
            if (matched_ == 0) {
                // glibc's memmem skips far faster than a search by first byte
                // through XML, where every few bytes are a "<".
                const void* found = ::memmem(fresh.data() + at, fresh.size() - at, kRowTag.data(), kRowTag.size());
                const std::size_t tag =
                    found ? static_cast<std::size_t>(static_cast<const char*>(found) - fresh.data()) : std::string_view::npos;
                if (tag == std::string_view::npos) {
                    // A tag may start in the last bytes and end in the next piece.
                    at = std::max(at, fresh.size() - std::min(fresh.size(), kRowTag.size() - 1));
                    for (; at < fresh.size(); ++at) CountRow(fresh[at]);
                    return;
                }
                at = tag;
            }
            CountRow(fresh[at++]);
        }
    }

    // Rows seen so far, each numbered one more than the one before it;
    // false once a row was out of that order.
    std::int64_t RowsInOrder() const { return rows_; }
    bool InOrder() const { return inOrder_; }
    void Finish(std::string_view tail) { tail_ = tail; }
    // The part's first bytes, as the scanner of its first piece saw them.
    void TakeHead(const PartScanner& first) { head_ = first.head_; }

    // The number of the last row tag in the part's last bytes, 0 when none.
    std::int64_t LastRow() const {
        const std::size_t at = tail_.rfind(kRowTag);
        if (at == std::string_view::npos) return 0;
        std::int64_t number = 0;
        std::size_t digit = at + kRowTag.size();
        for (; digit < tail_.size() && tail_[digit] >= '0' && tail_[digit] <= '9' && number < (1 << 30); ++digit) {
            number = number * 10 + (tail_[digit] - '0');
        }
        return digit < tail_.size() && tail_[digit] == '"' ? number : 0;
    }

    // Whether the part ends with the end of its root element.
    bool EndsWhole(std::uint64_t size) const {
        std::string_view head = head_;
        if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
        if (head.starts_with("<?xml")) {
            const std::size_t declarationEnd = head.find("?>");
            if (declarationEnd == std::string_view::npos) return false;
            head.remove_prefix(declarationEnd + 2);
        }
        const std::size_t open = head.find('<');
        if (open == std::string_view::npos) return false;
        const std::size_t nameEnd = head.find_first_of(" \t\r\n/>", open + 1);
        if (nameEnd == std::string_view::npos || nameEnd == open + 1) return false;
        const std::string closing = "</" + std::string(head.substr(open + 1, nameEnd - open - 1)) + ">";

        std::string_view tail = tail_;
        while (!tail.empty() && (tail.back() == ' ' || tail.back() == '\n' || tail.back() == '\r' || tail.back() == '\t')) {
            tail.remove_suffix(1);
        }
        return tail.ends_with(closing) || (size <= kSmallPart && tail.ends_with("/>"));
    }

private:
    // Follows the row tags through the part a byte at a time: a tag split
    // between two pieces is still read whole. Cell texts cannot hold one,
    // as their "<" is escaped.
    void CountRow(char c) {
        if (matched_ < kRowTag.size()) {
            matched_ = c == kRowTag[matched_] ? matched_ + 1 : (c == kRowTag[0] ? 1 : 0);
            number_ = 0;
            return;
        }
        if (c >= '0' && c <= '9' && number_ < (std::int64_t{1} << 40)) {
            number_ = number_ * 10 + (c - '0');
            return;
        }
        if (c != '"' || number_ != rows_ + 1) inOrder_ = false;
        ++rows_;
        matched_ = 0;
    }

    std::size_t matched_ = 0;
    std::int64_t number_ = 0;
    std::int64_t rows_ = 0;
    bool inOrder_ = true;
    std::string head_;
    std::string_view tail_;  // into the inflate window, valid until it is reused
};

// Where an entry's data starts, after its local header; or what is wrong.
std::optional<std::string> FindData(int fd, std::uint64_t fileSize, const Entry& entry, std::uint64_t& dataStart) {
    unsigned char header[kLocalHeaderSize];
    if (entry.localOffset + kLocalHeaderSize > fileSize || !ReadAt(fd, header, sizeof header, entry.localOffset) ||
        Le32(header) != kLocalHeaderSignature) {
        return Damaged(entry.name + " 的本地文件头缺失");
    }
    dataStart = entry.localOffset + kLocalHeaderSize + Le16(header + 26) + Le16(header + 28);
    if (dataStart + entry.compressedSize > fileSize) return Damaged(entry.name + " 的数据不完整");
    if (entry.method != Z_DEFLATED && entry.method != 0) return Damaged(entry.name + " 的压缩方式未知");
    return std::nullopt;
}

// A stretch of an entry's data that inflates on its own: the whole entry,
// or the part between two restart points.
struct Piece {
    std::uint64_t compressedBegin = 0;  // into the entry's data
    std::uint64_t compressedEnd = 0;
    std::uint64_t begin = 0;  // into the entry's content
    std::uint64_t end = 0;
    std::int64_t rowsBefore = 0;
    bool last = true;  // ends where the deflate stream ends
};

// Streams one piece through the CRC and the scanner, keeping at least its
// last keep bytes. Nothing when the piece is whole; crc is then its CRC-32.
std::optional<std::string> CheckPiece(int fd, std::uint64_t dataStart, const Entry& entry, const Piece& piece,
                                      std::size_t keep, std::vector<unsigned char>& window, PartScanner& scanner,
                                      std::uint32_t& pieceCrc) {
    const std::uint64_t compressed = piece.compressedEnd - piece.compressedBegin;
    const std::uint64_t expected = piece.end - piece.begin;
    auto input = std::make_unique_for_overwrite<unsigned char[]>(kChunk);
    // The window holds the kept tail followed by room for several chunks;
    // the tail moves to the front only when that room runs out, so little
    // of the output is copied.
    window.resize(keep + kOutputRoom);
    unsigned char* const output = window.data();
    z_stream stream{};
    const bool deflated = entry.method == Z_DEFLATED;
    if (deflated && inflateInit2(&stream, -MAX_WBITS) != Z_OK) return Damaged("zlib 无法初始化");
    // Ends the inflate state on every way out.
    const std::unique_ptr<z_stream, int (*)(z_stream*)> owner(deflated ? &stream : nullptr, inflateEnd);

    std::uint32_t crc = crc32(0, nullptr, 0);
    std::uint64_t produced = 0;
    std::uint64_t consumed = 0;
    std::size_t filled = 0;
    bool ended = !deflated && compressed == 0;
    while (!ended) {
        if (stream.avail_in == 0 && consumed < compressed) {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, compressed - consumed));
            if (!ReadAt(fd, input.get(), take, dataStart + piece.compressedBegin + consumed)) {
                return Damaged(entry.name + " 无法读取");
            }
            consumed += take;
            stream.next_in = input.get();
            stream.avail_in = static_cast<uInt>(take);
        }
        if (window.size() - filled < kChunk) {
            const std::size_t kept = std::min(filled, keep);
            std::memmove(output, output + filled - kept, kept);
            filled = kept;
        }
        std::size_t fresh = 0;
        if (deflated) {
            stream.next_out = output + filled;
            stream.avail_out = static_cast<uInt>(window.size() - filled);
            const int result = inflate(&stream, Z_NO_FLUSH);
            fresh = window.size() - filled - stream.avail_out;
            const bool drained = fresh == 0 && stream.avail_in == 0 && consumed >= compressed;
            if (result == Z_STREAM_END) {
                // Only the last piece may hold the stream's end.
                if (!piece.last) return Damaged(entry.name + " 的压缩数据损坏");
                ended = true;
            } else if (drained && !piece.last) {
                ended = true;  // a piece before a restart point ends with its input
            } else if (result != Z_OK && !(result == Z_BUF_ERROR && fresh > 0)) {
                return Damaged(entry.name + " 的压缩数据损坏");
            } else if (drained) {
                return Damaged(entry.name + " 的压缩数据提前结束");
            }
        } else {
            fresh = std::min<std::size_t>(stream.avail_in, window.size() - filled);
            std::memcpy(output + filled, stream.next_in, fresh);
            stream.next_in += fresh;
            stream.avail_in -= static_cast<uInt>(fresh);
            ended = consumed >= compressed && stream.avail_in == 0;
        }
        produced += fresh;
        if (produced > expected) return Damaged(entry.name + " 比记录的长");
        crc = crc32(crc, output + filled, static_cast<uInt>(fresh));
        scanner.Add(std::string_view(reinterpret_cast<const char*>(output + filled), fresh));
        filled += fresh;
    }
    if (deflated && (stream.avail_in != 0 || consumed != compressed)) {
        return Damaged(entry.name + " 的压缩数据后有多余字节");
    }
    if (produced != expected) return Damaged(entry.name + " 比记录的短");
    pieceCrc = crc;
    scanner.Finish(std::string_view(reinterpret_cast<const char*>(output), filled));
    return std::nullopt;
}

// A sheet smaller than this is read in one piece: starting a thread costs
// more than it saves.
constexpr std::uint64_t kSmallestSplitSheet = 16 * 1024 * 1024;
constexpr unsigned kMostPieces = 4;

// The pieces an entry is read in: one, or one a core cut at the restart
// points nearest to equal shares. Points that do not fit the entry are not
// used (the entry is then read whole, which checks it all the same).
std::vector<Piece> PiecesOf(const Entry& entry, std::span<const SheetRestartPoint> points) {
    std::vector<Piece> pieces{Piece{0, entry.compressedSize, 0, entry.size, 0, true}};
    // At least two, so that a one-core machine reads the pieces the same way.
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    const unsigned wanted = std::min({cores, kMostPieces, static_cast<unsigned>(points.size() + 1)});
    if (entry.method != Z_DEFLATED || entry.size < kSmallestSplitSheet || wanted < 2) return pieces;
    std::vector<const SheetRestartPoint*> cuts;
    std::size_t next = 0;
    for (unsigned share = 1; share < wanted; ++share) {
        const std::uint64_t target = entry.size / wanted * share;
        const SheetRestartPoint* best = nullptr;
        for (std::size_t index = next; index < points.size(); ++index) {
            const std::uint64_t at = points[index].at.offset;
            if (!best || (at > target ? at - target : target - at) <
                             (best->at.offset > target ? best->at.offset - target : target - best->at.offset)) {
                best = &points[index];
                next = index + 1;
            }
        }
        if (best) cuts.push_back(best);
    }
    std::uint64_t compressedBegin = 0, begin = 0;
    std::int64_t rowsBefore = 0;
    std::vector<Piece> split;
    for (const SheetRestartPoint* cut : cuts) {
        if (cut->at.compressedOffset <= compressedBegin || cut->at.compressedOffset >= entry.compressedSize ||
            cut->at.offset <= begin || cut->at.offset >= entry.size || cut->rowsBefore <= rowsBefore) {
            return pieces;
        }
        split.push_back(Piece{compressedBegin, cut->at.compressedOffset, begin, cut->at.offset, rowsBefore, false});
        compressedBegin = cut->at.compressedOffset;
        begin = cut->at.offset;
        rowsBefore = cut->rowsBefore;
    }
    split.push_back(Piece{compressedBegin, entry.compressedSize, begin, entry.size, rowsBefore, true});
    return split;
}

// Reads one entry back: all of it through the CRC and scanner (which ends
// up describing the whole part), in pieces side by side where points allow.
std::optional<std::string> CheckEntry(int fd, std::uint64_t fileSize, const Entry& entry, std::size_t keep,
                                      std::span<const SheetRestartPoint> points, std::vector<unsigned char>& window,
                                      PartScanner& scanner) {
    std::uint64_t dataStart = 0;
    if (auto failure = FindData(fd, fileSize, entry, dataStart)) return failure;
    const std::vector<Piece> pieces = PiecesOf(entry, points);
    const std::size_t count = pieces.size();
    std::vector<std::optional<std::string>> failures(count);
    std::vector<std::uint32_t> crcs(count, 0);
    std::vector<PartScanner> scanners;
    for (const Piece& piece : pieces) scanners.emplace_back(piece.rowsBefore);
    std::vector<std::vector<unsigned char>> windows(count - 1);
    const auto check = [&](std::size_t index) {
        std::vector<unsigned char>& own = index + 1 == count ? window : windows[index];
        // Only the last piece's end is looked at for the last row and closing tag.
        const std::size_t kept = index + 1 == count ? keep : 0;
        failures[index] = CheckPiece(fd, dataStart, entry, pieces[index], kept, own, scanners[index], crcs[index]);
    };
    std::vector<std::thread> threads;
    for (std::size_t index = 0; index + 1 < count; ++index) {
        try {
            threads.emplace_back(check, index);
        } catch (const std::system_error&) {
            check(index);  // no thread to be had: read it here
        }
    }
    check(count - 1);
    for (std::thread& thread : threads) thread.join();

    std::uint32_t crc = crcs[0];
    for (std::size_t index = 0; index < count; ++index) {
        if (failures[index]) return failures[index];
        if (index + 1 < count) {
            const PartScanner& piece = scanners[index];
            if (!piece.InOrder() || piece.RowsInOrder() != pieces[index + 1].rowsBefore) {
                return Damaged(entry.name + " 的行不完整或次序不对");
            }
        }
        if (index > 0) {
            crc = static_cast<std::uint32_t>(
                crc32_combine(crc, crcs[index], static_cast<z_off_t>(pieces[index].end - pieces[index].begin)));
        }
    }
    if (crc != entry.crc) return Damaged(entry.name + " 的校验和不符");
    PartScanner whole = std::move(scanners.back());
    if (count > 1) whole.TakeHead(scanners.front());
    scanner = std::move(whole);
    return std::nullopt;
}

// A field at its 32-bit limit stands for the value in the entry's zip64
// extra field, which holds, in this order, only the values that are.
bool TakeZip64Sizes(const unsigned char* extra, std::size_t length, Entry& entry) {
    std::uint64_t* const fields[] = {&entry.size, &entry.compressedSize, &entry.localOffset};
    bool needed = false;
    for (const std::uint64_t* field : fields) needed = needed || *field == kMax32;
    if (!needed) return true;
    for (std::size_t at = 0; at + 4 <= length;) {
        const std::size_t fieldLength = Le16(extra + at + 2);
        if (at + 4 + fieldLength > length) return false;
        if (Le16(extra + at) == kZip64ExtraId) {
            std::size_t taken = 0;
            for (std::uint64_t* field : fields) {
                if (*field != kMax32) continue;
                if (taken + 8 > fieldLength) return false;
                *field = Le64(extra + at + 4 + taken);
                taken += 8;
            }
            return true;
        }
        at += 4 + fieldLength;
    }
    return false;
}

std::optional<std::string> ReadDirectory(int fd, std::uint64_t fileSize, std::vector<Entry>& entries) {
    if (fileSize < kEndOfDirectorySize) return Damaged("文件太短，不是 zip 文件");
    const std::size_t tailSize = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kEndOfDirectorySize + kLongestZipComment));
    std::vector<unsigned char> tail(tailSize);
    if (!ReadAt(fd, tail.data(), tailSize, fileSize - tailSize)) return Damaged("无法读取文件末尾");
    std::size_t end = tailSize - kEndOfDirectorySize + 1;
    bool found = false;
    while (end-- > 0) {
        if (Le32(&tail[end]) == kEndOfDirectorySignature && end + kEndOfDirectorySize + Le16(&tail[end + 20]) == tailSize) {
            found = true;
            break;
        }
    }
    if (!found) return Damaged("找不到 zip 目录");
    const unsigned char* record = &tail[end];
    std::uint64_t count = Le16(record + 10);
    std::uint64_t directorySize = Le32(record + 12);
    std::uint64_t directoryOffset = Le32(record + 16);
    if (Le16(record + 8) != count) return Damaged("zip 目录不完整");
    std::uint64_t directoryEnd = fileSize - tailSize + end;  // where the directory must end
    // A zip64 archive keeps its true counts in a record the locator before
    // the end record points at.
    if (end >= kZip64LocatorSize && Le32(&tail[end - kZip64LocatorSize]) == kZip64LocatorSignature) {
        const std::uint64_t recordOffset = Le64(&tail[end - kZip64LocatorSize + 8]);
        unsigned char zip64[kZip64EndSize];
        if (recordOffset + kZip64EndSize > directoryEnd - kZip64LocatorSize ||
            !ReadAt(fd, zip64, sizeof zip64, recordOffset) || Le32(zip64) != kZip64EndSignature ||
            Le64(zip64 + 24) != Le64(zip64 + 32)) {
            return Damaged("zip64 目录记录损坏");
        }
        count = Le64(zip64 + 32);
        directorySize = Le64(zip64 + 40);
        directoryOffset = Le64(zip64 + 48);
        directoryEnd = recordOffset;
    }
    if (directoryOffset > directoryEnd || directorySize > directoryEnd - directoryOffset ||
        count > directorySize / kDirectoryEntrySize) {
        return Damaged("zip 目录不完整");
    }
    std::vector<unsigned char> directory(static_cast<std::size_t>(directorySize));
    if (!ReadAt(fd, directory.data(), directory.size(), directoryOffset)) return Damaged("无法读取 zip 目录");
    std::size_t at = 0;
    for (std::uint64_t index = 0; index < count; ++index) {
        if (at + kDirectoryEntrySize > directory.size() || Le32(&directory[at]) != kDirectoryEntrySignature) {
            return Damaged("zip 目录项损坏");
        }
        const unsigned char* p = &directory[at];
        Entry entry;
        entry.flags = Le16(p + 8);
        entry.method = Le16(p + 10);
        entry.crc = Le32(p + 16);
        entry.compressedSize = Le32(p + 20);
        entry.size = Le32(p + 24);
        const std::size_t nameLength = Le16(p + 28);
        const std::size_t skipped = nameLength + Le16(p + 30) + Le16(p + 32);
        entry.localOffset = Le32(p + 42);
        if (at + kDirectoryEntrySize + skipped > directory.size()) return Damaged("zip 目录项损坏");
        entry.name.assign(reinterpret_cast<const char*>(p + kDirectoryEntrySize), nameLength);
        if (!TakeZip64Sizes(p + kDirectoryEntrySize + nameLength, Le16(p + 30), entry)) {
            return Damaged(entry.name + " 的 zip64 字段损坏");
        }
        if (entry.flags & 1) return Damaged(entry.name + " 被加密");
        entries.push_back(std::move(entry));
        at += kDirectoryEntrySize + skipped;
    }
    if (at != directory.size()) return Damaged("zip 目录长度不符");
    return std::nullopt;
}

bool IsXmlPart(std::string_view name) { return name.ends_with(".xml") || name.ends_with(".rels"); }

// Reads one entry back and checks what its content must show: an XML part
// its closing tag, a worksheet (sheet, when it is one) its rows.
std::optional<std::string> CheckPart(int fd, std::uint64_t fileSize, const Entry& entry, const SheetWritten* sheet,
                                     std::size_t longestRowBytes, std::vector<unsigned char>& window) {
    PartScanner scanner;
    const std::size_t keep = sheet ? kTailKept + longestRowBytes : kTailKept;
    const std::span<const SheetRestartPoint> points =
        sheet ? std::span<const SheetRestartPoint>(sheet->restartPoints) : std::span<const SheetRestartPoint>();
    if (auto failure = CheckEntry(fd, fileSize, entry, keep, points, window, scanner)) return failure;
    if (IsXmlPart(entry.name) && !scanner.EndsWhole(entry.size)) return Damaged(entry.name + " 不完整");
    if (sheet) {
        if (scanner.LastRow() != sheet->lastRow) {
            return Damaged(entry.name + " 的最后一行是第" + std::to_string(scanner.LastRow()) + "行，应为第" +
                           std::to_string(sheet->lastRow) + "行");
        }
        if (!scanner.InOrder() || scanner.RowsInOrder() != sheet->lastRow) {
            return Damaged(entry.name + " 的行不完整或次序不对");
        }
    }
    return std::nullopt;
}

// Whether the directory records entry exactly where and as it was read early.
bool IsTheEntryReadEarly(const Entry& entry, const ZipEntryRecord& early) {
    return entry.method == Z_DEFLATED && static_cast<const ZipEntryRecord&>(entry) == early;
}

std::optional<std::string> FileSizeOf(int fd, std::uint64_t& size) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return Damaged(std::strerror(errno));
    size = static_cast<std::uint64_t>(status.st_size);
    return std::nullopt;
}

}  // namespace

EarlyReadBack ReadBackSheetEntry(int fd, const ZipEntryRecord& record, const SheetWritten& sheet,
                                 std::size_t longestRowBytes) {
    EarlyReadBack early{record, std::nullopt};
    std::uint64_t fileSize = 0;
    if ((early.failure = FileSizeOf(fd, fileSize))) return early;
    Entry entry;
    static_cast<ZipEntryRecord&>(entry) = record;
    entry.method = Z_DEFLATED;
    std::vector<unsigned char> window;
    early.failure = CheckPart(fd, fileSize, entry, &sheet, longestRowBytes, window);
    return early;
}

std::optional<std::string> ReadBackXlsx(int fd, std::span<const SheetWritten> sheets, std::size_t longestRowBytes,
                                        std::span<const EarlyReadBack> readEarly) {
    std::uint64_t fileSize = 0;
    if (auto failure = FileSizeOf(fd, fileSize)) return failure;
    std::vector<Entry> entries;
    if (auto failure = ReadDirectory(fd, fileSize, entries)) return failure;

    std::vector<bool> sheetSeen(sheets.size(), false);
    std::vector<unsigned char> window;
    for (const Entry& entry : entries) {
        std::size_t sheet = 0;
        constexpr std::string_view kSheetPrefix = "xl/worksheets/sheet";
        const std::string_view name = entry.name;
        if (name.starts_with(kSheetPrefix) && name.ends_with(".xml")) {
            const std::string number(name.substr(kSheetPrefix.size(), name.size() - kSheetPrefix.size() - 4));
            if (!number.empty() && number.find_first_not_of("0123456789") == std::string::npos && number.size() < 7) {
                sheet = static_cast<std::size_t>(std::stoul(number));
            }
        }
        const bool expectedSheet = sheet >= 1 && sheet <= sheets.size();
        const auto early = std::find_if(readEarly.begin(), readEarly.end(), [&entry](const EarlyReadBack& read) {
            return IsTheEntryReadEarly(entry, read.entry);
        });
        if (expectedSheet && early != readEarly.end()) {
            if (early->failure) return early->failure;
        } else if (auto failure =
                       CheckPart(fd, fileSize, entry, expectedSheet ? &sheets[sheet - 1] : nullptr, longestRowBytes,
                                 window)) {
            return failure;
        }
        if (expectedSheet) sheetSeen[sheet - 1] = true;
    }
    for (std::size_t sheet = 0; sheet < sheetSeen.size(); ++sheet) {
        if (!sheetSeen[sheet]) return Damaged("缺少工作表 sheet" + std::to_string(sheet + 1));
    }
    return std::nullopt;
}

std::optional<std::string> ReadBackXlsx(int fd, std::span<const std::int64_t> lastRows, std::size_t longestRowBytes) {
    std::vector<SheetWritten> sheets;
    for (const std::int64_t lastRow : lastRows) sheets.push_back(SheetWritten{lastRow, {}});
    return ReadBackXlsx(fd, sheets, longestRowBytes);
}

}  // namespace quillmere::sheet
