#include "sheet/temporary_file_registry.h"

#include <fcntl.h>
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
    int folderDescriptor = -1;  // path is a name in this folder when >= 0
    char path[kTemporaryPathCapacity];
};

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads slot states");

// The one piece of process-wide state of this layer: a signal handler can
// reach nothing else.
std::array<Slot, kTemporaryFileSlots> slots;

}  // namespace

TemporaryFileRegistration::TemporaryFileRegistration(std::string_view path) noexcept : slot_(Claim(path, -1)) {}

TemporaryFileRegistration::TemporaryFileRegistration(int folderDescriptor, std::string_view name) noexcept
    : slot_(folderDescriptor >= 0 && name.find('/') == std::string_view::npos ? Claim(name, folderDescriptor)
                                                                              : -1) {}

int TemporaryFileRegistration::Claim(std::string_view path, int folderDescriptor) noexcept {
    if (path.empty() || path.size() >= kTemporaryPathCapacity || path.find('\0') != std::string_view::npos) return -1;
    for (std::size_t index = 0; index < slots.size(); ++index) {
        Slot& slot = slots[index];
        int expected = kFree;
        if (!slot.state.compare_exchange_strong(expected, kClaimed)) continue;
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
        if (slot.folderDescriptor >= 0) {
            ::unlinkat(slot.folderDescriptor, slot.path, 0);
        } else {
            ::unlink(slot.path);
        }
        ++count;
    }
    return count;
}

}  // namespace quillmere::sheet
