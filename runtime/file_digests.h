#pragma once
// Fixity digests of a whole file: SM3 (GB/T 32905) and SHA-256, both fed
// from one read of the bytes, through OpenSSL's EVP interface.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "runtime/byte_stream.h"

namespace quillmere {

struct FileDigests {
    std::array<std::uint8_t, 32> sm3{};
    std::array<std::uint8_t, 32> sha256{};
};

struct DigestResult {
    std::optional<FileDigests> digests;  // set only when every byte was read
    std::string failure;                 // UTF-8, Chinese; why not, otherwise empty
};

// Reads the stream from its start to the size it reports; a stream that
// ends early, or a digest the library refuses, gives no digests and says why.
DigestResult DigestStream(ByteStream& stream);

// Lower-case hexadecimal, as sha256sum and openssl print it.
std::string DigestHex(const std::array<std::uint8_t, 32>& digest);

}  // namespace quillmere
