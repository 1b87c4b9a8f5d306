#include "sheet/temporary_folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <utility>

#include "sheet/random_name.h"

namespace quillmere::sheet {

namespace {

constexpr std::size_t kLongestNameKept = 200;

}  // namespace

TemporaryFolder::TemporaryFolder(TemporaryFolder&& other) noexcept
    : path_(std::exchange(other.path_, {})), registration_(std::move(other.registration_)) {}

TemporaryFolder& TemporaryFolder::operator=(TemporaryFolder&& other) noexcept {
    if (this != &other) {
        Remove();
        path_ = std::exchange(other.path_, {});
        registration_ = std::move(other.registration_);
    }
    return *this;
}

TemporaryFolder TemporaryFolder::Create(const std::string& folder, const std::string& name, int& error) {
    error = 0;
    const std::string prefix = (folder == "/" ? std::string() : folder) + "/." + name.substr(0, kLongestNameKept) + ".";
    for (int attempt = 0; attempt < 16; ++attempt) {
        TemporaryFolder made;
        const std::string path = prefix + RandomNamePart() + ".parts";
        made.registration_ = TemporaryFileRegistration(path, TemporaryFileRegistration::Kind::kFolder);
        if (::mkdir(path.c_str(), 0700) == 0) {
            made.path_ = path;
            return made;
        }
        if (errno != EEXIST) {
            error = errno;
            return {};
        }
    }
    error = EEXIST;
    return {};
}

void TemporaryFolder::Remove() noexcept {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        path_.clear();
    }
    registration_.Release();
}

}  // namespace quillmere::sheet
