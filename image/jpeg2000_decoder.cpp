// The JPEG-2000 family: JP2 and J2K/JPC codestreams (through OpenJPEG) and
// the PGX, PNM and Sun raster formats that travel with them, each
// recognised by its signature and probed from its header only.

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "image/decoders.h"
#include "image/j2k_size_reader.h"
#include "image/jp2_channel_mapping.h"
#include "image/jpeg2000_family_header.h"
#include "image/openjpeg_reader.h"
#include "image/pgx_decoder.h"
#include "image/pnm_decoder.h"
#include "image/ras_decoder.h"

namespace quillmere::image {
namespace {

constexpr std::size_t kMaxComponents = 64;
// opj_read_header sets up every tile-component (a few kilobytes each) before
// returning; beyond this many the SIZ segment alone describes the image.
constexpr std::uint64_t kMaxTileComponentsForOpenJpeg = 1024;
constexpr std::size_t kSignatureBytes = 12;

// Which member of the family the leading bytes announce.
std::optional<ImageFormat> KindFromSignature(const std::array<unsigned char, kSignatureBytes>& lead,
                                            std::size_t length) {
    static constexpr unsigned char kJp2Box[kSignatureBytes] = {0x00, 0x00, 0x00, 0x0C, 'j',  'P',
                                                               ' ',  ' ',  0x0D, 0x0A, 0x87, 0x0A};
    static constexpr unsigned char kCodestream[4] = {0xFF, 0x4F, 0xFF, 0x51};  // SOC, then SIZ
    static constexpr unsigned char kRas[4] = {0x59, 0xA6, 0x6A, 0x95};
    if (length >= sizeof kJp2Box && std::memcmp(lead.data(), kJp2Box, sizeof kJp2Box) == 0) return ImageFormat::Jp2;
    if (length >= sizeof kCodestream && std::memcmp(lead.data(), kCodestream, sizeof kCodestream) == 0) {
        return ImageFormat::Jpc;
    }
    if (length >= sizeof kRas && std::memcmp(lead.data(), kRas, sizeof kRas) == 0) return ImageFormat::Ras;
    if (length >= 2 && lead[0] == 'P' && lead[1] == 'G') return ImageFormat::Pgx;
    if (length >= 2 && lead[0] == 'P' && lead[1] >= '1' && lead[1] <= '6') return ImageFormat::Pnm;
    return std::nullopt;
}

// JP2 and J2K: the SIZ segment first, then OpenJPEG's reading of the whole
// main header unless the tiling would make that expensive, the component
// count already rules the file out, or a field is one OpenJPEG would
// misread into a huge tile count (hundreds of megabytes for a 50-byte file).
std::optional<FamilyImageHeader> ReadCodestreamHeader(ByteStream& stream, OpenJpegContainer container) {
    const std::int64_t start = stream.Tell();
    const std::optional<CodestreamSize> size = ReadCodestreamSize(stream, container);
    if (!size) return std::nullopt;
    const std::uint64_t components = size->header.components.size();
    if (components > kMaxComponents || size->tileCount > kMaxTileComponentsForOpenJpeg / components ||
        !size->fieldsFitInt32) {
        return size->header;
    }
    if (!stream.Seek(start, SeekOrigin::Begin)) return std::nullopt;
    return ReadOpenJpegHeader(stream, container).header;
}

// A JP2 file whose codestream holds palette indices decodes to the channels
// its palette and component mapping make of them; a mapping that names
// components or columns the file lacks leaves the codestream's own.
std::optional<FamilyImageHeader> ReadJp2Header(ByteStream& stream) {
    const std::int64_t start = stream.Tell();
    const std::optional<FamilyImageHeader> codestream = ReadCodestreamHeader(stream, OpenJpegContainer::Jp2);
    if (!codestream || !stream.Seek(start, SeekOrigin::Begin)) return codestream;
    const std::optional<Jp2ChannelMapping> mapping = ReadJp2ChannelMapping(stream);
    if (!mapping) return codestream;
    const std::optional<FamilyImageHeader> channels = ApplyChannelMapping(*codestream, *mapping);
    return channels ? channels : codestream;
}

std::optional<FamilyImageHeader> ReadHeader(ByteStream& stream, ImageFormat kind) {
    switch (kind) {
        case ImageFormat::Jp2: return ReadJp2Header(stream);
        case ImageFormat::Jpc: return ReadCodestreamHeader(stream, OpenJpegContainer::Codestream);
        case ImageFormat::Pgx: return ReadPgxHeader(stream);
        case ImageFormat::Pnm: return ReadPnmHeader(stream);
        case ImageFormat::Ras: return ReadRasHeader(stream);
        default: return std::nullopt;
    }
}

}  // namespace

bool DecodeJpeg2000Family(ByteStream& stream, CodecImage& image, ImageFormat format) {
    constexpr const char* kCannotLoad = "error: cannot load image data";
    const std::int64_t start = stream.Tell();
    std::array<unsigned char, kSignatureBytes> lead{};
    const std::size_t leadLength = stream.Read(lead.data(), 1, lead.size());
    const std::optional<ImageFormat> kind = KindFromSignature(lead, leadLength);
    const bool wanted = kind && (format == ImageFormat::Unknown || format == *kind);
    if (!wanted || !stream.Seek(start, SeekOrigin::Begin)) {
        image.SetError(kCannotLoad);
        return false;
    }

    const std::optional<FamilyImageHeader> header = ReadHeader(stream, *kind);
    if (!header || header->components.empty()) {
        image.SetError(kCannotLoad);
        return false;
    }
    if (header->components.size() > kMaxComponents) {
        image.SetError("error: too much components");
        return false;
    }
    return image.Create(header->width, header->height, FamilyImageDepth(*header), *kind);
}

}  // namespace quillmere::image
