#include "workflow/file_preparer.h"

#include <algorithm>
#include <cassert>

#include "image/image_object.h"
#include "runtime/termination_signals.h"
#include "runtime/text_encoding.h"

namespace quillmere::workflow {

namespace {

// Files prepared ahead of the writer, per worker. The writer wakes the
// workers once per half ring, and each wake costs a futex call and some
// spinning: at 8 a worker, 50,000 small files from the page cache took
// 4-5 % longer than at 32, which still holds little (a slot is a probe and
// a few texts).
constexpr std::size_t kAheadPerWorker = 32;
// Files a writer that caught up waits for, per worker. Small, because the
// writer looks whether the pool should grow only between such waits: on a
// share where each open takes 5 ms, waiting for 16 a worker made 1,000
// files take 0.58 s instead of 0.45 s.
constexpr std::size_t kBatchPerWorker = 4;

// How long the writer lets pass between looks at the CPU time used.
constexpr auto kLookEvery = std::chrono::milliseconds(10);

std::size_t CoreCount() { return std::max(1u, std::thread::hardware_concurrency()); }

// What the probe reports for an entry it did not open, or could not.
image::ImageProbe UnopenedProbe(const std::string& reason) {
    image::ImageProbe probe;
    probe.pathAccepted = true;
    probe.notReadReason = TextFromUtf8(reason);
    return probe;
}

}  // namespace

PreparedFile PrepareFile(const FileSystem& fs, const Text& path) {
    DirectoryHandle directory;
    return PrepareFile(fs, path, directory);
}

namespace {

PreparedFile Prepare(const FileSystem& fs, const Text& path, DirectoryHandle& directory, bool withDigests) {
    // A native path splits at its last "/": no byte of a name is a "/".
    const std::string native = TextToNativeName(path);
    const std::size_t nameStart = native.rfind('/') + 1;  // 0 without a "/"
    if (directory.path.size() != nameStart || native.compare(0, nameStart, directory.path) != 0) {
        directory = fs.OpenDirectory(native.substr(0, nameStart));
    }
    const std::string name = native.substr(nameStart);

    PreparedFile prepared;
    prepared.facts = FileFactsOf(fs.StatusIn(directory, name));
    if (prepared.facts.type == EntryType::RegularFile) {
        std::string failure;
        const auto stream = fs.OpenRegularFileIn(directory, name, failure);
        prepared.probe = stream ? image::ProbeImageStream(*stream, image::ImageFormat::Jpg) : UnopenedProbe(failure);
        if (withDigests)
            prepared.digest = stream ? DigestStream(*stream) : DigestResult{std::nullopt, "无法打开：" + failure};
    } else {
        prepared.probe = UnopenedProbe(prepared.facts.exists ? "not a regular file" : "No such file or directory");
        if (withDigests) {
            prepared.digest = DigestResult{std::nullopt, prepared.facts.exists ? "不是普通文件" : "文件不存在"};
        }
    }
    return prepared;
}

}  // namespace

PreparedFile PrepareFile(const FileSystem& fs, const Text& path, DirectoryHandle& directory) {
    return Prepare(fs, path, directory, false);
}

PreparedFile PrepareFileWithDigests(const FileSystem& fs, const Text& path, DirectoryHandle& directory) {
    return Prepare(fs, path, directory, true);
}

PreparePool FixedPreparePool(int jobs) { return PreparePool{jobs, jobs}; }

// What the workers hide is the wait for each open and first read, which
// does not depend on the number of cores: with 5 ms per open, 1,000 files
// took 6.4 s with 1 worker, 0.78 s with 8, 0.42 s with 16 and 0.24 s with
// 32. 16 takes most of that gain without flooding a spinning disk behind a
// share with parallel reads. From the page cache the files cost CPU time
// only, and past one worker per core each more worker costs switching:
// 1,500 A4 scans took 9% longer with 16 workers than with 2.
PreparePool DefaultPreparePool() {
    constexpr int kMostWorkers = 16;
    const int first = static_cast<int>(std::clamp<std::size_t>(CoreCount(), 2, kMostWorkers));
    return PreparePool{first, kMostWorkers};
}

FilePreparer::FilePreparer(const FileSystem& fs, const std::vector<const Text*>& files, PreparePool pool)
    : FilePreparer(fs, files, pool, false) {}

FilePreparer::FilePreparer(const FileSystem& fs, const std::vector<const Text*>& files, PreparePool pool,
                           bool withDigests)
    : fs_(fs), files_(files), withDigests_(withDigests) {
    if (pool.first <= 0 || files.empty()) return;
    const auto first = std::min<std::size_t>(static_cast<std::size_t>(pool.first), files.size());
    mostWorkers_ = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(pool.most, 0)), first, files.size());
    ringSize_ = mostWorkers_ * kAheadPerWorker;
    wakeEvery_ = std::max<std::size_t>(1, ringSize_ / 2);
    ring_ = std::make_unique<Slot[]>(ringSize_);
    // Half the cores busy or less: the pool is waiting for the disk, not working.
    idleBelowCores_ = static_cast<double>(CoreCount()) / 2;
    lookedAt_ = std::chrono::steady_clock::now();
    cpuAtLook_ = std::clock();
    workers_.reserve(mostWorkers_);
    StartWorkers(first);
}

void FilePreparer::StartWorkers(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        workers_.emplace_back([this] { WorkerLoop(); });
    }
}

void FilePreparer::GrowIfIdle() {
    if (workers_.size() >= mostWorkers_) return;
    const auto now = std::chrono::steady_clock::now();
    const std::chrono::duration<double> wall = now - lookedAt_;
    if (wall < kLookEvery) return;
    const std::clock_t cpu = std::clock();
    const double busyCores = static_cast<double>(cpu - cpuAtLook_) / CLOCKS_PER_SEC / wall.count();
    lookedAt_ = now;
    cpuAtLook_ = cpu;
    if (busyCores < idleBelowCores_) StartWorkers(std::min(workers_.size(), mostWorkers_ - workers_.size()));
}

FilePreparer::~FilePreparer() {
    if (workers_.empty()) return;
    stopping_.store(true);
    // Every slot counts as free from here on, which releases every waiting worker.
    taken_.store(files_.size());
    taken_.notify_all();
    workers_.clear();  // jthread joins
}

bool FilePreparer::WaitForRoom(std::size_t index) {
    for (;;) {
        const std::size_t taken = taken_.load(std::memory_order_acquire);
        if (stopping_.load(std::memory_order_relaxed)) return false;
        if (index < taken + ringSize_) return true;
        taken_.wait(taken, std::memory_order_acquire);
    }
}

void FilePreparer::WorkerLoop() {
    // Termination signals belong to the thread that owns the run: a handler
    // that runs there can tell where the run stands, one on a worker cannot.
    const TerminationSignalsBlocked blocked;
    DirectoryHandle directory;
    for (;;) {
        const std::size_t index = nextToClaim_.fetch_add(1, std::memory_order_relaxed);
        if (index >= files_.size() || !WaitForRoom(index)) return;
        Slot& slot = ring_[index % ringSize_];
        slot.file = Prepare(index, directory);
        slot.ready.store(true, std::memory_order_release);
        slot.ready.notify_one();
    }
}

PreparedFile FilePreparer::Prepare(std::size_t index, DirectoryHandle& directory) const {
    return workflow::Prepare(fs_, *files_[index], directory, withDigests_);
}

PreparedFile FilePreparer::TakeNext() {
    const std::size_t index = taken_.load(std::memory_order_relaxed);
    if (workers_.empty()) {
        taken_.store(index + 1, std::memory_order_relaxed);
        return Prepare(index, writerDirectory_);
    }
    Slot& slot = ring_[index % ringSize_];
    if (!slot.ready.load(std::memory_order_acquire)) {
        GrowIfIdle();
        // Caught up with the workers: sleep until a batch is ready rather
        // than the next file, so the writer is woken once per batch and not
        // once per file. Files are claimed in order, so the batch's last
        // one being ready means nearly all before it are too.
        //
        // Liveness: a worker that found the ring full sleeps until the
        // writer next wakes it, which happens each time taken_ reaches a
        // multiple of wakeEvery_. So any index a sleeping worker holds lies
        // at least a ring beyond the last such multiple, while the writer
        // stands less than wakeEvery_ past it. The batch's last file must
        // come before any such index, or the writer would wait for a file
        // only a sleeping worker can prepare, and nobody would wake it: the
        // batch never exceeds the wake interval, and two intervals fit in
        // the ring.
        const std::size_t batch = std::max<std::size_t>(1, workers_.size() * kBatchPerWorker);
        assert(batch <= wakeEvery_ && wakeEvery_ + wakeEvery_ <= ringSize_);
        const std::size_t batchEnd = std::min(index + batch, files_.size()) - 1;
        ring_[batchEnd % ringSize_].ready.wait(false, std::memory_order_acquire);
        slot.ready.wait(false, std::memory_order_acquire);
    }
    PreparedFile prepared = std::move(slot.file);
    slot.ready.store(false, std::memory_order_relaxed);
    // The slot is free once taken_ passes it; publishing that releases the slot's reuse.
    taken_.store(index + 1, std::memory_order_release);
    if ((index + 1) % wakeEvery_ == 0) taken_.notify_all();
    return prepared;
}

}  // namespace quillmere::workflow
