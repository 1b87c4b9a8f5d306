#pragma once
// Prepares the run's files ahead of the row writer: each file's probe, time
// and size depend on that file alone, so worker threads can make them while
// the UI thread writes rows strictly in entry order. A bounded window of
// prepared files keeps memory flat however long the batch is.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
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
    // files: the paths to prepare, in the order Take will ask for them; they
    // must outlive the preparer. jobs 0 prepares each file inside Take.
    FilePreparer(const FileSystem& fs, const std::vector<const Text*>& files, int jobs);
    ~FilePreparer();
    FilePreparer(const FilePreparer&) = delete;
    FilePreparer& operator=(const FilePreparer&) = delete;

    // The next file, in order; blocks until it is ready.
    PreparedFile TakeNext();

private:
    struct Slot {
        PreparedFile file;
        bool ready = false;
    };

    void WorkerLoop();

    const FileSystem& fs_;
    const std::vector<const Text*>& files_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Slot> ring_;
    std::size_t nextToClaim_ = 0;
    std::size_t nextToTake_ = 0;
    bool stopping_ = false;
    std::vector<std::jthread> workers_;
};

// Worker threads to use when the caller does not say: enough to hide the
// latency of slow shares, but bounded.
int DefaultPrepareJobs();

}  // namespace quillmere::workflow
