#include "runtime/byte_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

namespace quillmere {

namespace {

// Bytes a Read of count items of size bytes asks for; nullopt on overflow.
std::optional<std::size_t> RequestedBytes(std::size_t size, std::size_t count) {
    if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size) return std::nullopt;
    return size * count;
}

// The target of a seek, or nullopt when it would be negative or overflow.
std::optional<std::int64_t> SeekTarget(std::int64_t position, std::int64_t size, std::int64_t offset,
                                       SeekOrigin origin) {
    std::int64_t base = 0;
    switch (origin) {
        case SeekOrigin::Begin: base = 0; break;
        case SeekOrigin::Current: base = position; break;
        case SeekOrigin::End: base = size; break;
    }
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target) || target < 0) return std::nullopt;
    return target;
}

}  // namespace

// ---- FileStream ----

FileStream::FileStream(FileStream&& other) noexcept
    : file_(std::move(other.file_)),
      size_(other.size_),
      position_(other.position_),
      eof_(other.eof_),
      buffer_(std::move(other.buffer_)),
      bufferStart_(other.bufferStart_),
      bufferLength_(std::exchange(other.bufferLength_, 0)) {}

FileStream& FileStream::operator=(FileStream&& other) noexcept {
    if (this != &other) {
        file_ = std::move(other.file_);
        size_ = other.size_;
        position_ = other.position_;
        eof_ = other.eof_;
        buffer_ = std::move(other.buffer_);
        bufferStart_ = other.bufferStart_;
        bufferLength_ = std::exchange(other.bufferLength_, 0);
    }
    return *this;
}

bool FileStream::Fill() {
    if (!file_.valid() || position_ >= size_) return false;
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<unsigned char[]>(kBufferSize);
    std::size_t got = 0;
    while (got < kBufferSize) {
        const ssize_t n = ::pread(file_.get(), buffer_.get() + got, kBufferSize - got,
                                  static_cast<off_t>(position_ + static_cast<std::int64_t>(got)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    bufferStart_ = position_;
    bufferLength_ = got;
    return got > 0;
}

std::size_t FileStream::Read(void* buffer, std::size_t size, std::size_t count) {
    const auto wanted = RequestedBytes(size, count);
    if (!wanted || *wanted == 0) return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < *wanted) {
        const bool inBuffer = position_ >= bufferStart_ &&
                              position_ < bufferStart_ + static_cast<std::int64_t>(bufferLength_);
        if (!inBuffer) {
            const std::size_t left = *wanted - done;
            if (left >= kBufferSize && file_.valid() && position_ < size_) {
                // A large read goes straight to the caller's memory.
                const ssize_t n = ::pread(file_.get(), out + done, left, static_cast<off_t>(position_));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
                position_ += n;
                continue;
            }
            if (!Fill()) break;
        }
        const auto offset = static_cast<std::size_t>(position_ - bufferStart_);
        const std::size_t take = std::min(bufferLength_ - offset, *wanted - done);
        std::memcpy(out + done, buffer_.get() + offset, take);
        done += take;
        position_ += static_cast<std::int64_t>(take);
    }
    if (done < *wanted) eof_ = true;
    return done / size;
}

void FileStream::WillReadWhole() {
    // The kernel reads the file in while the caller works on what came first;
    // a refusal changes nothing but the speed.
    if (file_.valid()) ::posix_fadvise(file_.get(), 0, 0, POSIX_FADV_WILLNEED);
}

bool FileStream::Seek(std::int64_t offset, SeekOrigin origin) {
    const auto target = SeekTarget(position_, size_, offset, origin);
    if (!target) return false;
    position_ = *target;
    eof_ = false;
    return true;
}

int FileStream::GetC() {
    const bool inBuffer = position_ >= bufferStart_ &&
                          position_ < bufferStart_ + static_cast<std::int64_t>(bufferLength_);
    if (!inBuffer && !Fill()) {
        eof_ = true;
        return -1;
    }
    const int byte = buffer_[static_cast<std::size_t>(position_ - bufferStart_)];
    ++position_;
    return byte;
}

// ---- MemoryStream ----

std::size_t MemoryStream::Read(void* buffer, std::size_t size, std::size_t count) {
    const auto wanted = RequestedBytes(size, count);
    if (!wanted || *wanted == 0) return 0;
    const auto total = static_cast<std::int64_t>(bytes_.size());
    const std::size_t available = position_ < total ? static_cast<std::size_t>(total - position_) : 0;
    const std::size_t take = std::min(available, *wanted);
    if (take > 0) std::memcpy(buffer, bytes_.data() + position_, take);
    position_ += static_cast<std::int64_t>(take);
    if (take < *wanted) eof_ = true;
    return take / size;
}

bool MemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
    const auto target = SeekTarget(position_, Size(), offset, origin);
    if (!target) return false;
    position_ = *target;
    eof_ = false;
    return true;
}

int MemoryStream::GetC() {
    if (position_ >= Size()) {
        eof_ = true;
        return -1;
    }
    return bytes_[static_cast<std::size_t>(position_++)];
}

}  // namespace quillmere
