// Times one ScanImageFolder over a real folder tree and reports what the
// entry list costs in memory. Driven by scan_bench.sh, which compares it
// with find(1) over the same tree.
//
// usage: scan_bench FOLDER
// prints: entries=N files=N directories=N scan_ms=T list_bytes=B bytes_per_entry=B

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "workflow/scan_image_folder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const quillmere::RealFileSystem fs;
    const quillmere::Text folder = quillmere::TextFromUtf8(argv[1]);

    // Heap in use before and after, while the list is still alive: the scan's
    // own working memory is released by then, so the growth is the list.
    const std::size_t heapBefore = mallinfo2().uordblks;
    const auto start = std::chrono::steady_clock::now();
    const quillmere::TextArray entries = quillmere::workflow::ScanImageFolder(fs, folder, [] {}).entries;
    const auto stop = std::chrono::steady_clock::now();
    const std::size_t heapAfter = mallinfo2().uordblks;

    std::size_t directories = 0;
    for (const quillmere::Text& entry : entries) {
        if (!entry.empty() && entry.bytes().back() == '/') ++directories;
    }
    const double ms = std::chrono::duration<double, std::milli>(stop - start).count();
    const std::size_t listBytes = heapAfter - heapBefore;
    std::printf("entries=%zu files=%zu directories=%zu scan_ms=%.2f list_bytes=%zu bytes_per_entry=%.1f\n",
                entries.size(), entries.size() - directories, directories, ms, listBytes,
                entries.empty() ? 0.0 : static_cast<double>(listBytes) / static_cast<double>(entries.size()));
    return 0;
}
