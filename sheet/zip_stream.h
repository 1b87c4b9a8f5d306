#pragma once
// A zip archive written front to back into a file: each entry deflated as
// its bytes arrive, its local header completed in place when it ends, the
// central directory written by Finish.
//
// Every write is checked; the first failure (an errno) sticks and every
// later call returns it. An entry or an archive that passes what the plain
// zip fields hold gets zip64 records; smaller ones keep the plain format
// that every reader takes.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::sheet {

// A place in an entry's deflated data where inflating can start afresh:
// the compressor ended its block there and forgot what came before.
struct ZipRestartPoint {
    std::uint64_t compressedOffset = 0;  // into the entry's data
    std::uint64_t offset = 0;            // into the entry's content
};

// Where an entry lies in the archive and what its data must give.
struct ZipEntryRecord {
    std::string name;
    std::uint64_t localOffset = 0;  // of its local header
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;

    friend bool operator==(const ZipEntryRecord&, const ZipEntryRecord&) = default;
};

class ZipStream {
public:
    // Writes into fd from offset 0 on; fd stays the caller's.
    ZipStream(int fd, int level);
    ~ZipStream();
    ZipStream(const ZipStream&) = delete;
    ZipStream& operator=(const ZipStream&) = delete;

    // Each returns 0 or the first errno met.
    int StartEntry(const std::string& name);
    int Write(std::string_view bytes);
    // Makes the current end of the open entry a restart point. A few per
    // entry cost next to nothing in size; a reader can then inflate the
    // pieces between them side by side.
    int MarkRestartPoint(ZipRestartPoint& point);
    int FinishEntry();
    int Finish();

    int Failure() const noexcept { return failure_; }
    // Bytes written so far.
    std::uint64_t Offset() const noexcept { return offset_; }
    // The entry started last; complete, header included, once FinishEntry
    // returned 0.
    const ZipEntryRecord& LastEntry() const { return entries_.back(); }

private:
    int Deflate(std::string_view bytes, int flush);
    int Put(const void* bytes, std::size_t size);
    int PutAt(const void* bytes, std::size_t size, std::uint64_t offset);
    int Fail(int error);

    int fd_;
    int level_;
    z_stream stream_{};
    bool streamReady_ = false;
    bool inEntry_ = false;
    std::uint64_t offset_ = 0;
    std::vector<ZipEntryRecord> entries_;
    std::vector<unsigned char> output_;
    int failure_ = 0;
};

}  // namespace quillmere::sheet
