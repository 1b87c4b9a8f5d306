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

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "image/image_properties.h"
#include "runtime/file_info.h"
#include "runtime/file_system.h"
#include "runtime/text.h"

namespace quillmere::workflow {

struct PreparedFile {
    image::ImageProbe probe;
    FileFacts facts;
};

// Reads one file's facts and probes it, on whatever thread calls it. Only a
// regular file is opened: a FIFO could block the open or release a writer
// waiting at its other end, and a device may act on being opened. Anything
// else shows as a file that no decoder accepts.
PreparedFile PrepareFile(const FileSystem& fs, const Text& path);

class FilePreparer {
public:
    // files: the paths to prepare, in the order TakeNext will ask for them;
    // they must outlive the preparer. jobs 0 prepares each file inside TakeNext.
    FilePreparer(const FileSystem& fs, const std::vector<const Text*>& files, int jobs);
    ~FilePreparer();
    FilePreparer(const FilePreparer&) = delete;
    FilePreparer& operator=(const FilePreparer&) = delete;

    // The next file, in order; blocks until it is ready. Called from one thread.
    PreparedFile TakeNext();

private:
    struct Slot {
        PreparedFile file;
        std::atomic<bool> ready{false};
    };

    void WorkerLoop();
    // Blocks until index has a free slot; false when the preparer is stopping.
    bool WaitForRoom(std::size_t index);

    const FileSystem& fs_;
    const std::vector<const Text*>& files_;
    std::size_t ringSize_ = 0;
    std::size_t wakeEvery_ = 1;  // the writer wakes waiting workers each time it has taken this many
    std::unique_ptr<Slot[]> ring_;
    std::atomic<std::size_t> nextToClaim_{0};
    std::atomic<std::size_t> taken_{0};  // files handed to the writer so far
    std::atomic<bool> stopping_{false};
    std::vector<std::jthread> workers_;
};

// Worker threads to use when the caller does not say: enough to hide the
// latency of a slow share, bounded so a fast disk pays nothing for them.
int DefaultPrepareJobs();

}  // namespace quillmere::workflow
