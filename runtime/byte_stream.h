#pragma once
// The byte source every decoder reads from: a file on disk or a buffer in
// memory, behind one small interface. Files are opened by the file system
// (FileSystem::OpenRegularFile), which hands back one of these.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "runtime/file_descriptor.h"

namespace quillmere {

enum class SeekOrigin { Begin, Current, End };

class ByteStream {
public:
    virtual ~ByteStream() = default;

    // Reads up to count items of size bytes; returns the number of whole
    // items read. Like fread, a partial last item is consumed but not counted.
    virtual std::size_t Read(void* buffer, std::size_t size, std::size_t count) = 0;
    // Moves the read position; false (position unchanged) when the target
    // would be negative. A position past the end is allowed and reads nothing.
    virtual bool Seek(std::int64_t offset, SeekOrigin origin) = 0;
    virtual std::int64_t Tell() const = 0;
    // The next byte, or -1 at the end.
    virtual int GetC() = 0;
    // Like feof: true once a read asked for more than was left; Seek clears it.
    virtual bool Eof() const = 0;
    // Total size in bytes.
    virtual std::int64_t Size() const = 0;
    // A hint that the whole stream will be read from start to end next, so
    // a file's reading can run ahead of the reader; nothing by default.
    virtual void WillReadWhole() {}
};

// Reads an open regular file through its own buffer, with pread, so the
// descriptor's own offset is never used.
class FileStream final : public ByteStream {
public:
    // file: open for reading; size: its size in bytes, as fstat gave it.
    FileStream(FileDescriptor file, std::int64_t size) noexcept : file_(std::move(file)), size_(size) {}
    FileStream(FileStream&& other) noexcept;
    FileStream& operator=(FileStream&& other) noexcept;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;
    ~FileStream() override = default;

    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override;
    bool Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Tell() const override { return position_; }
    int GetC() override;
    bool Eof() const override { return eof_; }
    std::int64_t Size() const override { return size_; }
    void WillReadWhole() override;

private:
    static constexpr std::size_t kBufferSize = 8192;

    // Makes the buffer hold the bytes at position_; false at the end or on a read error.
    bool Fill();

    FileDescriptor file_;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
    bool eof_ = false;
    std::unique_ptr<unsigned char[]> buffer_;
    std::int64_t bufferStart_ = 0;   // file offset of buffer_[0]
    std::size_t bufferLength_ = 0;   // valid bytes in buffer_
};

// Reads bytes the caller keeps alive for the stream's lifetime.
class MemoryStream final : public ByteStream {
public:
    explicit MemoryStream(std::span<const unsigned char> bytes) : bytes_(bytes) {}
    // A temporary buffer would be gone before the first read.
    explicit MemoryStream(std::vector<unsigned char>&&) = delete;

    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override;
    bool Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Tell() const override { return position_; }
    int GetC() override;
    bool Eof() const override { return eof_; }
    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }

private:
    std::span<const unsigned char> bytes_;
    std::int64_t position_ = 0;
    bool eof_ = false;
};

}  // namespace quillmere
