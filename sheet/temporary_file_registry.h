#pragma once
// The temporary files this process has alive right now, so that a signal
// handler can remove them before the process dies.
//
// A workbook (and each file saved beside it) is built under a hidden name
// in its destination's folder; a SIGINT or SIGTERM arriving mid-run or
// mid-save must not leave it behind. Each such file is registered before it
// is created (a signal that arrives right after creating it, when the
// system call returns, then finds it registered) and unregistered once it
// has been renamed onto its name or removed.
//
// The registry is a fixed array of path buffers, each guarded by an atomic
// state, so that RemoveRegisteredTemporaryFiles is async-signal-safe: it
// calls only unlinkat and unlink. Registration allocates nothing. A path is copied
// into its slot before the slot is published, and a slot is unpublished
// before it is reused, so the handler never reads a half-written path. (A
// slot released and taken again by another thread while the handler is
// between reading its state and unlinking could in principle show the
// handler the new path, which it would then remove early. Registrations
// happen a few times a run, and only for temporary files, so this is
// accepted rather than paid for with a lock a handler could not take.)
//
// Typical use in a signal handler:
//
//     void OnSignal(int signal) {
//         quillmere::sheet::RemoveRegisteredTemporaryFiles();
//         ...  // then restore the default action and re-raise, or _exit
//     }

#include <cstddef>
#include <string_view>

namespace quillmere::sheet {

// How many paths may be registered at once; a run holds one or two.
inline constexpr std::size_t kTemporaryFileSlots = 16;
// Longest path a slot holds, its terminating zero included.
inline constexpr std::size_t kTemporaryPathCapacity = 4096;

// A registered path; removed from the registry (not from disk) on
// destruction. Move-only; an empty handle registers nothing.
class TemporaryFileRegistration {
public:
    TemporaryFileRegistration() = default;
    // Registers path. Empty (Registered() false) when every slot is taken or
    // the path is too long; the caller then owns the risk of a leftover.
    explicit TemporaryFileRegistration(std::string_view path) noexcept;
    // Registers the file name in the folder open as folderDescriptor, which
    // must stay open while registered: the file is found even after its
    // folder was renamed.
    TemporaryFileRegistration(int folderDescriptor, std::string_view name) noexcept;
    ~TemporaryFileRegistration() { Release(); }
    TemporaryFileRegistration(TemporaryFileRegistration&& other) noexcept;
    TemporaryFileRegistration& operator=(TemporaryFileRegistration&& other) noexcept;
    TemporaryFileRegistration(const TemporaryFileRegistration&) = delete;
    TemporaryFileRegistration& operator=(const TemporaryFileRegistration&) = delete;

    bool Registered() const noexcept { return slot_ >= 0; }
    // Unregisters now; the file itself is left as it is.
    void Release() noexcept;

private:
    // The index of the slot now holding path, or -1.
    static int Claim(std::string_view path, int folderDescriptor) noexcept;

    int slot_ = -1;
};

// Unlinks every registered file. Async-signal-safe; the registrations stay,
// so a second call only repeats the unlink calls. Returns how many paths
// were registered.
std::size_t RemoveRegisteredTemporaryFiles() noexcept;

}  // namespace quillmere::sheet
