#pragma once
// Test helpers for trees on the real disk: a temporary directory removed
// with everything in it, and small makers for files, FIFOs and links whose
// names may be any bytes.

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace quillmere::testing {

class TempDirectory {
public:
    TempDirectory() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/quillmere-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDirectory() {
        if (path_.empty()) return;
        std::error_code ignored;
        // Owner write permission back first, or a read-only folder keeps its contents.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
                chmod(it->path().c_str(), 0700);
            }
        }
        std::filesystem::remove_all(path_, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    // Native path without a trailing "/"; empty when it could not be made.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline void MakeDirectory(const std::string& path) {
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path;
}

// A file of the given size (sparse, so huge sizes cost no disk) and last-write time.
inline void MakeFile(const std::string& path, std::int64_t size = 0, std::time_t lastWriteTime = -1) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    const bool sized = ftruncate(fd, static_cast<off_t>(size)) == 0;
    close(fd);
    ASSERT_TRUE(sized) << path;
    if (lastWriteTime != -1) {
        const timespec times[2] = {{lastWriteTime, 0}, {lastWriteTime, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
    }
}

inline void MakeFifo(const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0) << path; }

inline void MakeLink(const std::string& path, const std::string& target) {
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0) << path;
}

// Sets TZ for one test and restores it afterwards. POSIX rule strings need
// no time-zone database.
class TimeZoneOverride {
public:
    explicit TimeZoneOverride(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        hadValue_ = std::getenv("TZ") != nullptr;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZoneOverride() {
        if (hadValue_) setenv("TZ", saved_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    TimeZoneOverride(const TimeZoneOverride&) = delete;
    TimeZoneOverride& operator=(const TimeZoneOverride&) = delete;

private:
    std::string saved_;
    bool hadValue_ = false;
};

// Seconds since 1970 of a UTC calendar time.
inline std::time_t UtcTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return timegm(&parts);
}

}  // namespace quillmere::testing
