#include "sheet/zip_stream.h"

#include <unistd.h>

#include <cerrno>

#include "sheet/zip_format.h"

namespace quillmere::sheet {

namespace {

using namespace zip;

// An extra field readers skip, reserved in every local header so that a
// zip64 record fits there if the entry turns out to need one.
constexpr std::uint16_t kPaddingExtraId = 0xD935;
constexpr std::size_t kReservedExtraSize = 20;  // id, size, two 8-byte sizes
constexpr std::uint16_t kVersionPlain = 20;
constexpr std::uint16_t kVersionZip64 = 45;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kUtf8Names = 1u << 11;
// 1980-01-01 00:00, the earliest time a zip entry can carry.
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;
constexpr std::size_t kOutputChunk = 256 * 1024;

void Add16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}
void Add32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}
void Add64(std::string& out, std::uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}
std::uint32_t Clamp32(std::uint64_t value) { return value >= kMax32 ? kMax32 : static_cast<std::uint32_t>(value); }

}  // namespace

ZipStream::ZipStream(int fd, int level) : fd_(fd), level_(level), output_(kOutputChunk) {}

ZipStream::~ZipStream() {
    if (streamReady_) deflateEnd(&stream_);
}

int ZipStream::Fail(int error) {
    if (failure_ == 0) failure_ = error != 0 ? error : EIO;
    return failure_;
}

int ZipStream::Put(const void* bytes, std::size_t size) {
    if (failure_ != 0) return failure_;
    if (const int error = PutAt(bytes, size, offset_); error != 0) return error;
    offset_ += size;
    return 0;
}

int ZipStream::PutAt(const void* bytes, std::size_t size, std::uint64_t offset) {
    if (failure_ != 0) return failure_;
    const auto* at = static_cast<const unsigned char*>(bytes);
    while (size > 0) {
        const ssize_t put = ::pwrite(fd_, at, size, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return Fail(errno);
        if (put == 0) return Fail(ENOSPC);
        at += put;
        size -= static_cast<std::size_t>(put);
        offset += static_cast<std::uint64_t>(put);
    }
    return 0;
}

int ZipStream::StartEntry(const std::string& name) {
    if (failure_ != 0) return failure_;
    if (inEntry_) return Fail(EINVAL);
    if (!streamReady_) {
        if (deflateInit2(&stream_, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return Fail(ENOMEM);
        streamReady_ = true;
    } else if (deflateReset(&stream_) != Z_OK) {
        return Fail(EIO);
    }
    entries_.push_back(ZipEntryRecord{name, offset_, 0, 0, 0});
    // Sizes and CRC are filled in by FinishEntry.
    std::string header;
    Add32(header, kLocalHeaderSignature);
    Add16(header, kVersionPlain);
    Add16(header, kUtf8Names);
    Add16(header, kDeflated);
    Add16(header, 0);
    Add16(header, kDosDate);
    Add32(header, 0);
    Add32(header, 0);
    Add32(header, 0);
    Add16(header, static_cast<std::uint16_t>(name.size()));
    Add16(header, kReservedExtraSize);
    header += name;
    Add16(header, kPaddingExtraId);
    Add16(header, kReservedExtraSize - 4);
    header.append(kReservedExtraSize - 4, '\0');
    inEntry_ = true;
    return Put(header.data(), header.size());
}

int ZipStream::Deflate(std::string_view bytes, int flush) {
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream_.avail_in = static_cast<uInt>(bytes.size());
    do {
        stream_.next_out = output_.data();
        stream_.avail_out = static_cast<uInt>(output_.size());
        const int status = deflate(&stream_, flush);
        if (status == Z_STREAM_ERROR) return Fail(EIO);
        const std::size_t made = output_.size() - stream_.avail_out;
        if (const int error = Put(output_.data(), made); error != 0) return error;
        entries_.back().compressedSize += made;
        if (flush == Z_FINISH && status == Z_STREAM_END) break;
    } while (stream_.avail_out == 0 || (flush == Z_FINISH));
    return 0;
}

int ZipStream::Write(std::string_view bytes) {
    if (failure_ != 0) return failure_;
    if (!inEntry_) return Fail(EINVAL);
    ZipEntryRecord& entry = entries_.back();
    // zlib counts in uInt; feed large texts in pieces.
    constexpr std::size_t kPiece = 1u << 30;
    while (!bytes.empty()) {
        const std::string_view piece = bytes.substr(0, kPiece);
        entry.crc = static_cast<std::uint32_t>(
            crc32_z(entry.crc, reinterpret_cast<const Bytef*>(piece.data()), piece.size()));
        entry.size += piece.size();
        if (const int error = Deflate(piece, Z_NO_FLUSH); error != 0) return error;
        bytes.remove_prefix(piece.size());
    }
    return 0;
}

int ZipStream::MarkRestartPoint(ZipRestartPoint& point) {
    if (failure_ != 0) return failure_;
    if (!inEntry_) return Fail(EINVAL);
    if (const int error = Deflate({}, Z_FULL_FLUSH); error != 0) return error;
    point = {entries_.back().compressedSize, entries_.back().size};
    return 0;
}

int ZipStream::FinishEntry() {
    if (failure_ != 0) return failure_;
    if (!inEntry_) return Fail(EINVAL);
    if (const int error = Deflate({}, Z_FINISH); error != 0) return error;
    inEntry_ = false;
    const ZipEntryRecord& entry = entries_.back();
    const bool zip64 = entry.size >= kMax32 || entry.compressedSize >= kMax32;
    std::string fields;
    Add16(fields, zip64 ? kVersionZip64 : kVersionPlain);
    if (const int error = PutAt(fields.data(), fields.size(), entry.localOffset + 4); error != 0) return error;
    fields.clear();
    Add32(fields, entry.crc);
    Add32(fields, zip64 ? kMax32 : static_cast<std::uint32_t>(entry.compressedSize));
    Add32(fields, zip64 ? kMax32 : static_cast<std::uint32_t>(entry.size));
    if (const int error = PutAt(fields.data(), fields.size(), entry.localOffset + 14); error != 0) return error;
    if (zip64) {
        fields.clear();
        Add16(fields, kZip64ExtraId);
        Add16(fields, 16);
        Add64(fields, entry.size);
        Add64(fields, entry.compressedSize);
        return PutAt(fields.data(), fields.size(), entry.localOffset + kLocalHeaderSize + entry.name.size());
    }
    return 0;
}

int ZipStream::Finish() {
    if (failure_ != 0) return failure_;
    if (inEntry_) return Fail(EINVAL);
    const std::uint64_t directoryOffset = offset_;
    std::string directory;
    for (const ZipEntryRecord& entry : entries_) {
        std::string extra;
        if (entry.size >= kMax32) Add64(extra, entry.size);
        if (entry.compressedSize >= kMax32) Add64(extra, entry.compressedSize);
        if (entry.localOffset >= kMax32) Add64(extra, entry.localOffset);
        if (!extra.empty()) {
            std::string field;
            Add16(field, kZip64ExtraId);
            Add16(field, static_cast<std::uint16_t>(extra.size()));
            extra = field + extra;
        }
        const std::uint16_t version = extra.empty() ? kVersionPlain : kVersionZip64;
        Add32(directory, kDirectoryEntrySignature);
        Add16(directory, version);  // made by: MS-DOS attributes
        Add16(directory, version);
        Add16(directory, kUtf8Names);
        Add16(directory, kDeflated);
        Add16(directory, 0);
        Add16(directory, kDosDate);
        Add32(directory, entry.crc);
        Add32(directory, Clamp32(entry.compressedSize));
        Add32(directory, Clamp32(entry.size));
        Add16(directory, static_cast<std::uint16_t>(entry.name.size()));
        Add16(directory, static_cast<std::uint16_t>(extra.size()));
        Add16(directory, 0);  // comment
        Add16(directory, 0);  // disk
        Add16(directory, 0);  // internal attributes
        Add32(directory, 0);  // external attributes
        Add32(directory, Clamp32(entry.localOffset));
        directory += entry.name;
        directory += extra;
    }
    const std::uint64_t directorySize = directory.size();
    const std::uint64_t count = entries_.size();
    const bool zip64 = directoryOffset >= kMax32 || directorySize >= kMax32 || count >= 0xFFFF;
    if (zip64) {
        const std::uint64_t recordOffset = directoryOffset + directorySize;
        Add32(directory, kZip64EndSignature);
        Add64(directory, 44);
        Add16(directory, kVersionZip64);
        Add16(directory, kVersionZip64);
        Add32(directory, 0);
        Add32(directory, 0);
        Add64(directory, count);
        Add64(directory, count);
        Add64(directory, directorySize);
        Add64(directory, directoryOffset);
        Add32(directory, kZip64LocatorSignature);
        Add32(directory, 0);
        Add64(directory, recordOffset);
        Add32(directory, 1);
    }
    Add32(directory, kEndOfDirectorySignature);
    Add16(directory, 0);
    Add16(directory, 0);
    Add16(directory, static_cast<std::uint16_t>(count >= 0xFFFF ? 0xFFFF : count));
    Add16(directory, static_cast<std::uint16_t>(count >= 0xFFFF ? 0xFFFF : count));
    Add32(directory, Clamp32(directorySize));
    Add32(directory, Clamp32(directoryOffset));
    Add16(directory, 0);
    return Put(directory.data(), directory.size());
}

}  // namespace quillmere::sheet
