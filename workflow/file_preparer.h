#pragma once
// Prepares the run's files ahead of the row writer: each file's probe, time
// and size depend on that file alone, so worker threads can make them while
// the UI thread writes rows strictly in entry order. A bounded ring of
// prepared files keeps memory flat however long the batch is.
//
// The hand-over is built to cost next to nothing when files come from the
// page cache (tens of microseconds each): workers claim files with one
// atomic increment, publish each through its slot's flag, and a worker
// that finds the ring full sleeps until the writer has emptied half of it,
// so the writer wakes the workers once per half ring, not once per file.
// The same holds the other way: a writer that catches up sleeps until a
// batch more is ready.
//
// The pool starts small and grows while the machine sits idle waiting for
// files: from the page cache a few workers keep the cores busy and more
// only add switching, while behind a slow share each worker spends its
// time waiting for an open and many are needed.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "image/image_properties.h"
#include "runtime/file_digests.h"
#include "runtime/file_info.h"
#include "runtime/file_system.h"
#include "runtime/text.h"

namespace quillmere::workflow {

struct PreparedFile {
    image::ImageProbe probe;  // its notReadReason says why, when no decoder took the file
    FileFacts facts;
    // The file's digests, when they were asked for; a file that was not
    // opened says why in the failure.
    std::optional<DigestResult> digest;
};

// Reads one file's facts and probes it, on whatever thread calls it. Only a
// regular file is opened: a FIFO could block the open or release a writer
// waiting at its other end, and a device may act on being opened. Anything
// else shows as a file that no decoder accepts.
PreparedFile PrepareFile(const FileSystem& fs, const Text& path);
// The same, the file looked up by name in its directory. directory is the
// caller's to keep from file to file: it is opened anew only when a file
// lies in another directory than the one before, and files come in
// directory order.
PreparedFile PrepareFile(const FileSystem& fs, const Text& path, DirectoryHandle& directory);
// The same, the file also read whole for its digests after the probe.
PreparedFile PrepareFileWithDigests(const FileSystem& fs, const Text& path, DirectoryHandle& directory);

// How many worker threads prepare files: `first` start with the run, and
// while the writer waits for files with the cores idle more are added, up
// to `most`. first 0 prepares each file inside TakeNext.
struct PreparePool {
    int first = 0;
    int most = 0;
};

// Exactly jobs workers, as a caller that names a number wants.
PreparePool FixedPreparePool(int jobs);
// The pool used when the caller does not say.
PreparePool DefaultPreparePool();

class FilePreparer {
public:
    // files: the paths to prepare, in the order TakeNext will ask for them;
    // they must outlive the preparer.
    FilePreparer(const FileSystem& fs, const std::vector<const Text*>& files, PreparePool pool);
    // withDigests: each file is also read whole for its digests, on the same thread.
    FilePreparer(const FileSystem& fs, const std::vector<const Text*>& files, PreparePool pool, bool withDigests);
    ~FilePreparer();
    FilePreparer(const FilePreparer&) = delete;
    FilePreparer& operator=(const FilePreparer&) = delete;

    // The next file, in order; blocks until it is ready. Called from one thread.
    PreparedFile TakeNext();

    std::size_t WorkerCount() const noexcept { return workers_.size(); }

private:
    struct Slot {
        PreparedFile file;
        std::atomic<bool> ready{false};
    };

    void WorkerLoop();
    PreparedFile Prepare(std::size_t index, DirectoryHandle& directory) const;
    // Blocks until index has a free slot; false when the preparer is stopping.
    bool WaitForRoom(std::size_t index);
    void StartWorkers(std::size_t count);
    // Called by the writer before it waits: doubles the pool, up to its
    // most, when the process used little CPU time since the last look.
    void GrowIfIdle();

    const FileSystem& fs_;
    const std::vector<const Text*>& files_;
    bool withDigests_ = false;
    DirectoryHandle writerDirectory_;  // for files prepared inside TakeNext
    std::size_t ringSize_ = 0;
    std::size_t wakeEvery_ = 1;  // the writer wakes waiting workers each time it has taken this many
    std::unique_ptr<Slot[]> ring_;
    std::atomic<std::size_t> nextToClaim_{0};
    std::atomic<std::size_t> taken_{0};  // files handed to the writer so far
    std::atomic<bool> stopping_{false};
    std::vector<std::jthread> workers_;  // started and joined by the writer's thread only
    std::size_t mostWorkers_ = 0;
    double idleBelowCores_ = 0;  // busy cores under which the pool counts as waiting
    std::chrono::steady_clock::time_point lookedAt_;
    std::clock_t cpuAtLook_ = 0;
};

}  // namespace quillmere::workflow
