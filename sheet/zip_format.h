#pragma once
// The zip records the workbook's writer puts out and its read-back checks:
// their signatures, fixed sizes and the zip64 markers (APPNOTE 6.3).

#include <cstddef>
#include <cstdint>

namespace quillmere::sheet::zip {

inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr std::uint32_t kDirectoryEntrySignature = 0x02014b50;
inline constexpr std::uint32_t kEndOfDirectorySignature = 0x06054b50;
inline constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
inline constexpr std::uint16_t kZip64ExtraId = 0x0001;

inline constexpr std::size_t kLocalHeaderSize = 30;
inline constexpr std::size_t kDirectoryEntrySize = 46;
inline constexpr std::size_t kEndOfDirectorySize = 22;
inline constexpr std::size_t kZip64LocatorSize = 20;
inline constexpr std::size_t kZip64EndSize = 56;

// A 32-bit size or offset field holding this stands for its zip64 value.
inline constexpr std::uint32_t kMax32 = 0xFFFFFFFF;

}  // namespace quillmere::sheet::zip
