#include "workflow/file_preparer.h"

#include <algorithm>

#include "image/image_object.h"

namespace quillmere::workflow {

namespace {

// Files prepared ahead of the writer, per worker.
constexpr std::size_t kAheadPerWorker = 8;

// The probe ignores paths shorter than four bytes, a rule that never met a
// full path where it was made ("C:\a" has four). Here an entry can be that
// short ("/a", or "s/a" below a relative folder), so the probe gets the same
// file spelt longer: "/./a", "./s/a".
constexpr int kShortestProbedPath = 4;

Text ProbePath(const Text& path) {
    if (TextLength(path) >= kShortestProbedPath) return path;
    return TextLeft(path, 1) == Text("/") ? Text("/.") + path : Text("./") + path;
}

// What the probe reports for a file it cannot open: the object's start-up values.
image::ImageProbe UnopenedProbe() {
    image::ImageProbe probe;
    probe.pathAccepted = true;
    return probe;
}

}  // namespace

PreparedFile PrepareFile(const FileSystem& fs, const Text& path) {
    PreparedFile prepared;
    prepared.facts = GetFileFacts(fs, path);
    prepared.probe = prepared.facts.type == EntryType::RegularFile
                         ? image::ProbeImageFile(ProbePath(path), static_cast<std::int32_t>(image::ImageFormat::Jpg))
                         : UnopenedProbe();
    return prepared;
}

int DefaultPrepareJobs() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<int>(std::clamp(cores * 4u, 4u, 16u));
}

FilePreparer::FilePreparer(const FileSystem& fs, const std::vector<const Text*>& files, int jobs)
    : fs_(fs), files_(files) {
    if (jobs <= 0 || files.empty()) return;
    const auto workerCount = static_cast<std::size_t>(std::min<std::size_t>(jobs, files.size()));
    ring_.resize(workerCount * kAheadPerWorker);
    workers_.reserve(workerCount);
    for (std::size_t i = 0; i < workerCount; ++i) {
        workers_.emplace_back([this] { WorkerLoop(); });
    }
}

FilePreparer::~FilePreparer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    // jthread joins on destruction.
}

void FilePreparer::WorkerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] {
            return stopping_ || (nextToClaim_ < files_.size() && nextToClaim_ < nextToTake_ + ring_.size());
        });
        if (stopping_) return;
        const std::size_t index = nextToClaim_++;
        lock.unlock();
        PreparedFile prepared = PrepareFile(fs_, *files_[index]);
        lock.lock();
        Slot& slot = ring_[index % ring_.size()];
        slot.file = std::move(prepared);
        slot.ready = true;
        changed_.notify_all();
    }
}

PreparedFile FilePreparer::TakeNext() {
    if (workers_.empty()) {
        return PrepareFile(fs_, *files_[nextToTake_++]);
    }
    std::unique_lock lock(mutex_);
    Slot& slot = ring_[nextToTake_ % ring_.size()];
    changed_.wait(lock, [&] { return slot.ready; });
    PreparedFile prepared = std::move(slot.file);
    slot.ready = false;
    ++nextToTake_;
    lock.unlock();
    changed_.notify_all();
    return prepared;
}

}  // namespace quillmere::workflow
