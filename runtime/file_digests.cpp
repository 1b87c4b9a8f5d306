#include "runtime/file_digests.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace quillmere {

namespace {

// Large enough that the read, not the call, costs the time; small enough to
// stay in the cache of the core that hashes it.
constexpr std::size_t kChunkSize = 256 * 1024;

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const noexcept { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

// Fetched once for the process and kept: an algorithm passed to each
// init as EVP_sm3() is looked up in OpenSSL's shared method store every
// time, by every worker.
const EVP_MD* FetchedAlgorithm(const char* name) { return EVP_MD_fetch(nullptr, name, nullptr); }

DigestContext StartDigest(const EVP_MD* algorithm) {
    DigestContext context(EVP_MD_CTX_new());
    if (!context || algorithm == nullptr || EVP_DigestInit_ex(context.get(), algorithm, nullptr) != 1) return nullptr;
    return context;
}

bool FinishDigest(EVP_MD_CTX* context, std::array<std::uint8_t, 32>& digest) {
    unsigned int length = 0;
    return EVP_DigestFinal_ex(context, digest.data(), &length) == 1 && length == digest.size();
}

DigestResult Failed(std::string reason) { return DigestResult{std::nullopt, std::move(reason)}; }

}  // namespace

DigestResult DigestStream(ByteStream& stream) {
    static const EVP_MD* const kSm3 = FetchedAlgorithm("SM3");
    static const EVP_MD* const kSha256 = FetchedAlgorithm("SHA256");
    DigestContext sm3 = StartDigest(kSm3);
    DigestContext sha256 = StartDigest(kSha256);
    if (!sm3 || !sha256) return Failed("摘要算法不可用");
    if (!stream.Seek(0, SeekOrigin::Begin)) return Failed("无法回到文件开头");
    stream.WillReadWhole();

    thread_local const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(kChunkSize);
    const std::int64_t size = stream.Size();
    std::int64_t done = 0;
    while (done < size) {
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(size - done, kChunkSize));
        const std::size_t got = stream.Read(buffer.get(), 1, wanted);
        if (got == 0) break;
        if (EVP_DigestUpdate(sm3.get(), buffer.get(), got) != 1 ||
            EVP_DigestUpdate(sha256.get(), buffer.get(), got) != 1) {
            return Failed("摘要计算失败");
        }
        done += static_cast<std::int64_t>(got);
    }
    if (done < size) return Failed("文件未能完整读取");

    FileDigests digests;
    if (!FinishDigest(sm3.get(), digests.sm3) || !FinishDigest(sha256.get(), digests.sha256)) {
        return Failed("摘要计算失败");
    }
    return DigestResult{digests, {}};
}

std::string DigestHex(const std::array<std::uint8_t, 32>& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(digest.size() * 2);
    for (const std::uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

}  // namespace quillmere
