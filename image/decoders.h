#pragma once
// One entry point per format decoder. Each reads the stream from its current
// position, checks the header and, on success, has called image.Create and
// stored what the format records (its resolution). On
// failure it returns false with image.settings.lastError saying why. No
// decoder reads or allocates pixel data.

#include <cstdint>

#include "runtime/byte_stream.h"
#include "image/codec_image.h"
#include "image/image_format.h"

namespace quillmere::image {

bool DecodeBmp(ByteStream& stream, CodecImage& image);
bool DecodeJpeg(ByteStream& stream, CodecImage& image);
bool DecodeIco(ByteStream& stream, CodecImage& image);
bool DecodeGif(ByteStream& stream, CodecImage& image);
bool DecodePng(ByteStream& stream, CodecImage& image);
bool DecodeTiff(ByteStream& stream, CodecImage& image);
bool DecodeTga(ByteStream& stream, CodecImage& image);
bool DecodePcx(ByteStream& stream, CodecImage& image);
bool DecodeWbmp(ByteStream& stream, CodecImage& image);
bool DecodeWmf(ByteStream& stream, CodecImage& image);
// Unknown recognises JP2, JPC, PGX, PNM and RAS data itself; Jp2 to Ras
// accept only that one kind. PGX, PNM and Sun raster headers are read in
// pgx_decoder.cpp, pnm_decoder.cpp and ras_decoder.cpp, JP2 and J2K
// through j2k_size_reader.cpp and openjpeg_reader.cpp.
bool DecodeJpeg2000Family(ByteStream& stream, CodecImage& image, ImageFormat format);

}  // namespace quillmere::image
