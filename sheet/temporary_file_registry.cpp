#include "sheet/temporary_file_registry.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <utility>

namespace quillmere::sheet {

namespace {

enum SlotState : int { kFree = 0, kClaimed = 1, kPublished = 2 };

struct Slot {
    std::atomic<int> state{kFree};
    bool folder = false;
    int folderDescriptor = -1;  // path is a name in this folder when >= 0
    char path[kTemporaryPathCapacity];
};

// What getdents64 fills a buffer with.
struct DirectoryEntry64 {
    std::uint64_t inode;
    std::int64_t offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

bool IsDotOrDotDot(const char* name) noexcept {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Removes the files in folder and then folder, with system calls only.
void RemoveFolder(const char* folder) noexcept {
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        alignas(8) char buffer[4096];
        // Removing entries while reading can make a pass skip some: read
        // again until a pass finds nothing left (bounded, for safety).
        for (int pass = 0; pass < 8; ++pass) {
            bool removed = false;
            ::lseek(fd, 0, SEEK_SET);
            for (;;) {
                const long got = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
                if (got <= 0) break;
                for (long at = 0; at < got;) {
                    const auto* entry = reinterpret_cast<const DirectoryEntry64*>(buffer + at);
                    if (!IsDotOrDotDot(entry->name) && ::unlinkat(fd, entry->name, 0) == 0) removed = true;
                    at += entry->length;
                }
            }
            if (!removed) break;
        }
        ::close(fd);
    }
    ::rmdir(folder);
}

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads slot states");

// The one piece of process-wide state of this layer: a signal handler can
// reach nothing else.
std::array<Slot, kTemporaryFileSlots> slots;

}  // namespace

TemporaryFileRegistration::TemporaryFileRegistration(std::string_view path, Kind kind) noexcept
    : slot_(Claim(path, kind == Kind::kFolder, -1)) {}

TemporaryFileRegistration::TemporaryFileRegistration(int folderDescriptor, std::string_view name) noexcept
    : slot_(folderDescriptor >= 0 && name.find('/') == std::string_view::npos ? Claim(name, false, folderDescriptor)
                                                                              : -1) {}

int TemporaryFileRegistration::Claim(std::string_view path, bool folder, int folderDescriptor) noexcept {
    if (path.empty() || path.size() >= kTemporaryPathCapacity || path.find('\0') != std::string_view::npos) return -1;
    for (std::size_t index = 0; index < slots.size(); ++index) {
        Slot& slot = slots[index];
        int expected = kFree;
        if (!slot.state.compare_exchange_strong(expected, kClaimed)) continue;
        slot.folder = folder;
        slot.folderDescriptor = folderDescriptor;
        std::memcpy(slot.path, path.data(), path.size());
        slot.path[path.size()] = '\0';
        slot.state.store(kPublished, std::memory_order_release);
        return static_cast<int>(index);
    }
    return -1;
}

TemporaryFileRegistration::TemporaryFileRegistration(TemporaryFileRegistration&& other) noexcept
    : slot_(std::exchange(other.slot_, -1)) {}

TemporaryFileRegistration& TemporaryFileRegistration::operator=(TemporaryFileRegistration&& other) noexcept {
    if (this != &other) {
        Release();
        slot_ = std::exchange(other.slot_, -1);
    }
    return *this;
}

void TemporaryFileRegistration::Release() noexcept {
    if (slot_ < 0) return;
    slots[static_cast<std::size_t>(slot_)].state.store(kFree, std::memory_order_release);
    slot_ = -1;
}

std::size_t RemoveRegisteredTemporaryFiles() noexcept {
    std::size_t count = 0;
    for (Slot& slot : slots) {
        if (slot.state.load(std::memory_order_acquire) != kPublished) continue;
        if (slot.folder) {
            RemoveFolder(slot.path);
        } else if (slot.folderDescriptor >= 0) {
            ::unlinkat(slot.folderDescriptor, slot.path, 0);
        } else {
            ::unlink(slot.path);
        }
        ++count;
    }
    return count;
}

}  // namespace quillmere::sheet
