#pragma once
// The fuzz targets' own checks. A broken property aborts, which libFuzzer
// reports as a crash with the input kept, and which fails the replay test.

#include <cstdio>
#include <cstdlib>

#define QUILLMERE_FUZZ_CHECK(condition)                                                            \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
