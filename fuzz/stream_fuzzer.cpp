// The two byte streams side by side: a file read through FileStream's own
// buffer and the same bytes in a MemoryStream must answer every Read, Seek,
// GetC, Tell and Eof alike, or a file on disk could probe differently from
// the bytes the decode fuzzer sees.
//
// Input: a content seed byte and a 16-bit length (the content, up to 128 KiB
// so reads cross the 8 KiB buffer many times, is made from them), then a
// script of operations of five bytes each.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "runtime/byte_stream.h"
#include "runtime/real_file_system.h"

namespace {

using quillmere::ByteStream;
using quillmere::MemoryStream;
using quillmere::SeekOrigin;

// The content as an anonymous in-memory file, reachable by path; closed
// when it goes.
class MemoryFile {
public:
    explicit MemoryFile(std::span<const std::uint8_t> bytes) : fd_(::memfd_create("stream-fuzz", MFD_CLOEXEC)) {
        if (fd_ < 0) return;
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        ok_ = written == bytes.size();
    }
    ~MemoryFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    bool ok() const { return ok_; }
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_;
    bool ok_ = false;
};

std::uint32_t U32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

void CheckSameState(const ByteStream& file, const MemoryStream& memory) {
    QUILLMERE_FUZZ_CHECK(file.Tell() == memory.Tell());
    QUILLMERE_FUZZ_CHECK(file.Eof() == memory.Eof());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t length = (static_cast<std::size_t>(data[1]) | static_cast<std::size_t>(data[2]) << 8) * 2;
    std::vector<std::uint8_t> content(length);
    for (std::size_t i = 0; i < length; ++i) content[i] = static_cast<std::uint8_t>((i * 131 + (i >> 8)) ^ data[0]);

    const MemoryFile backing(content);
    if (!backing.ok()) return 0;
    std::string error;
    const std::unique_ptr<ByteStream> file = quillmere::RealFileSystem().OpenRegularFile(backing.path(), error);
    QUILLMERE_FUZZ_CHECK(file != nullptr);
    MemoryStream memory(content);
    QUILLMERE_FUZZ_CHECK(file->Size() == memory.Size());

    std::vector<std::uint8_t> fromFile;
    std::vector<std::uint8_t> fromMemory;
    for (std::size_t at = 3; at + 5 <= size; at += 5) {
        const std::uint8_t operation = data[at];
        const std::uint32_t argument = U32(data + at + 1);
        switch (operation % 4) {
            case 0: {  // Read: item size 1 to 8, up to 32767 items
                const std::size_t itemSize = 1 + (operation >> 2) % 8;
                const std::size_t count = argument % 32768;
                fromFile.assign(itemSize * count, 0);
                fromMemory.assign(itemSize * count, 0);
                const std::size_t gotFile = file->Read(fromFile.data(), itemSize, count);
                const std::size_t gotMemory = memory.Read(fromMemory.data(), itemSize, count);
                QUILLMERE_FUZZ_CHECK(gotFile == gotMemory);
                QUILLMERE_FUZZ_CHECK(gotFile == 0 ||
                                     std::memcmp(fromFile.data(), fromMemory.data(), gotFile * itemSize) == 0);
                break;
            }
            case 1: {  // Seek from the start, the current position or the end
                const auto origin = static_cast<SeekOrigin>((operation >> 2) % 3);
                const auto offset = static_cast<std::int64_t>(static_cast<std::int32_t>(argument)) % (3 * 65536 + 7);
                QUILLMERE_FUZZ_CHECK(file->Seek(offset, origin) == memory.Seek(offset, origin));
                break;
            }
            case 2:
                QUILLMERE_FUZZ_CHECK(file->GetC() == memory.GetC());
                break;
            default: {  // a run of GetC, as the text header readers do
                for (std::uint32_t i = 0; i < argument % 64; ++i) QUILLMERE_FUZZ_CHECK(file->GetC() == memory.GetC());
                break;
            }
        }
        CheckSameState(*file, memory);
    }
    return 0;
}
