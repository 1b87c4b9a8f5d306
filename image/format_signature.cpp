#include "image/format_signature.h"

#include <cstring>

namespace quillmere::image {

namespace {

bool StartsWith(std::span<const std::uint8_t> head, const char* bytes, std::size_t length) {
    return head.size() >= length && std::memcmp(head.data(), bytes, length) == 0;
}

std::uint8_t At(std::span<const std::uint8_t> head, std::size_t at) { return at < head.size() ? head[at] : 0; }

bool IsTgaImageType(std::uint8_t type) {
    return type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
}

}  // namespace

std::optional<SignatureMatch> MatchSignature(std::span<const std::uint8_t> head) {
    struct Fixed {
        const char* bytes;
        std::size_t length;
        SignatureMatch match;
    };
    static constexpr Fixed kFixed[] = {
        {"BM", 2, {ImageFormat::Bmp, "BMP"}},
        {"\xFF\xD8\xFF", 3, {ImageFormat::Jpg, "JPEG"}},
        {"GIF8", 4, {ImageFormat::Gif, "GIF"}},
        {"\x89PNG\r\n\x1A\n", 8, {ImageFormat::Png, "PNG"}},
        {"II*\0", 4, {ImageFormat::Tif, "TIFF"}},
        {"MM\0*", 4, {ImageFormat::Tif, "TIFF"}},
        {"II+\0", 4, {ImageFormat::Tif, "TIFF"}},
        {"MM\0+", 4, {ImageFormat::Tif, "TIFF"}},
        {"\0\0\1\0", 4, {ImageFormat::Ico, "ICO"}},
        {"\0\0\2\0", 4, {ImageFormat::Ico, "ICO"}},
        {"\xD7\xCD\xC6\x9A", 4, {ImageFormat::Wmf, "WMF"}},
        {"\0\0\0\x0CjP  \r\n\x87\n", 12, {ImageFormat::Jp2, "JPEG 2000"}},
        {"\xFF\x4F\xFF\x51", 4, {ImageFormat::Jpc, "JPEG 2000"}},
        {"PG", 2, {ImageFormat::Pgx, "PGX"}},
        {"\x59\xA6\x6A\x95", 4, {ImageFormat::Ras, "Sun Raster"}},
    };
    for (const Fixed& fixed : kFixed) {
        if (StartsWith(head, fixed.bytes, fixed.length)) return fixed.match;
    }
    if (At(head, 0) == 'P' && At(head, 1) >= '1' && At(head, 1) <= '7') return SignatureMatch{ImageFormat::Pnm, "PNM"};
    // TGA: colour-map type 0 or 1 and a known image type, in a full header.
    if (head.size() >= kSignatureBytes && At(head, 1) <= 1 && IsTgaImageType(At(head, 2))) {
        return SignatureMatch{ImageFormat::Tga, "TGA"};
    }
    // PCX: the ZSoft manufacturer byte and a version of 0 to 5.
    if (At(head, 0) == 0x0A && At(head, 1) <= 5 && head.size() >= 2) return SignatureMatch{ImageFormat::Pcx, "PCX"};
    // WBMP: type 0 and a fixed-header byte of 0.
    if (head.size() >= 4 && At(head, 0) == 0 && At(head, 1) == 0) return SignatureMatch{ImageFormat::Wbmp, "WBMP"};
    return std::nullopt;
}

}  // namespace quillmere::image
