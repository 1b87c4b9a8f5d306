#pragma once
// One small, valid file of every format the probe reads, made in memory:
// JPEG, PNG, TIFF, JP2 and J2K through their libraries' writers, the others
// byte by byte. Each sample knows the row values its intact file shows, so
// a test can cut it anywhere and say what the cut file may show.

#include <openjpeg.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "../support/jpeg_fixture.h"

namespace quillmere::testing {

// Columns K to N of a row: shape, resolution, colour mode, quality.
struct ImageColumns {
    std::string shape;
    std::string dpi;
    std::string colours;
    std::string quality = "90%";
    friend bool operator==(const ImageColumns&, const ImageColumns&) = default;
    friend void PrintTo(const ImageColumns& columns, std::ostream* out) {
        *out << columns.shape << " " << columns.dpi << " " << columns.colours << " " << columns.quality;
    }
};

// What a file that no decoder accepts shows.
inline const ImageColumns kNotAnImage{"0*0", "96", "真彩色", "90%"};

struct FormatSample {
    std::string name;       // short format name, also the file extension
    std::string bytes;      // the intact file
    ImageColumns intact;    // what the intact file shows
    friend void PrintTo(const FormatSample& sample, std::ostream* out) { *out << sample.name; }
};

// Little- and big-endian field writers for hand-made headers.
class ByteWriter {
public:
    ByteWriter& U8(unsigned value) {
        bytes_ += static_cast<char>(value & 0xFF);
        return *this;
    }
    ByteWriter& U16le(unsigned value) { return U8(value).U8(value >> 8); }
    ByteWriter& U32le(std::uint32_t value) { return U16le(value & 0xFFFF).U16le(value >> 16); }
    ByteWriter& U16be(unsigned value) { return U8(value >> 8).U8(value); }
    ByteWriter& U32be(std::uint32_t value) { return U16be(value >> 16).U16be(value & 0xFFFF); }
    ByteWriter& Text(const std::string& text) {
        bytes_ += text;
        return *this;
    }
    ByteWriter& Fill(std::size_t count, unsigned value) {
        bytes_.append(count, static_cast<char>(value & 0xFF));
        return *this;
    }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// ---- through the libraries ----

inline std::string MakePng(std::uint32_t width, std::uint32_t height, std::uint32_t pixelsPerMetre) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), length);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, pixelsPerMetre, pixelsPerMetre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(width) * 3, 0x80);
    for (std::uint32_t y = 0; y < height; ++y) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

inline std::string MakeTiff(std::uint32_t width, std::uint32_t height, float dpi) {
    char path[] = "/tmp/quillmere-sample-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    TIFF* tiff = TIFFOpen(path, "w");
    if (tiff == nullptr) return {};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, dpi);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, dpi);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3, 0x80);
    for (std::uint32_t y = 0; y < height; ++y) TIFFWriteScanline(tiff, row.data(), y, 0);
    TIFFClose(tiff);
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path);
    return bytes;
}

// A grey 8-bit JPEG-2000 image, as a JP2 file or a bare J2K codestream.
inline std::string MakeJpeg2000(std::uint32_t width, std::uint32_t height, bool jp2) {
    struct Sink {
        std::string bytes;
        std::size_t position = 0;
    } sink;
    opj_image_cmptparm_t component{};
    component.dx = 1;
    component.dy = 1;
    component.w = width;
    component.h = height;
    component.prec = 8;
    component.sgnd = 0;
    opj_image_t* image = opj_image_create(1, &component, OPJ_CLRSPC_GRAY);
    image->x0 = 0;
    image->y0 = 0;
    image->x1 = width;
    image->y1 = height;
    for (std::uint32_t i = 0; i < width * height; ++i) image->comps[0].data[i] = static_cast<OPJ_INT32>(i % 256);

    opj_cparameters_t parameters;
    opj_set_default_encoder_parameters(&parameters);
    parameters.numresolution = 2;
    parameters.tcp_numlayers = 1;
    parameters.tcp_rates[0] = 0;
    parameters.cp_disto_alloc = 1;
    opj_codec_t* codec = opj_create_compress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_setup_encoder(codec, &parameters, image);
    opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE);
    opj_stream_set_user_data(stream, &sink, nullptr);
    opj_stream_set_write_function(stream, [](void* data, OPJ_SIZE_T size, void* user) -> OPJ_SIZE_T {
        auto* out = static_cast<Sink*>(user);
        if (out->bytes.size() < out->position + size) out->bytes.resize(out->position + size);
        out->bytes.replace(out->position, size, static_cast<const char*>(data), size);
        out->position += size;
        return size;
    });
    opj_stream_set_skip_function(stream, [](OPJ_OFF_T count, void* user) -> OPJ_OFF_T {
        auto* out = static_cast<Sink*>(user);
        out->position += static_cast<std::size_t>(count);
        if (out->bytes.size() < out->position) out->bytes.resize(out->position);
        return count;
    });
    opj_stream_set_seek_function(stream, [](OPJ_OFF_T offset, void* user) -> OPJ_BOOL {
        static_cast<Sink*>(user)->position = static_cast<std::size_t>(offset);
        return OPJ_TRUE;
    });
    const bool encoded = opj_start_compress(codec, image, stream) && opj_encode(codec, stream) &&
                         opj_end_compress(codec, stream);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    return encoded ? sink.bytes : std::string();
}

// ---- byte by byte ----

// An APP1 EXIF block whose first directory says XResolution = dpi/1 per
// inch, put right after the JFIF segment of a JPEG.
inline std::string WithExifResolution(const std::string& jpeg, std::uint32_t dpi) {
    ByteWriter tiff;
    tiff.Text("II").U16le(42).U32le(8);
    tiff.U16le(2);
    tiff.U16le(0x011A).U16le(5).U32le(1).U32le(8 + 2 + 2 * 12 + 4);  // XResolution, a rational after the directory
    tiff.U16le(0x0128).U16le(3).U32le(1).U16le(2).U16le(0);         // ResolutionUnit: inch
    tiff.U32le(0);
    tiff.U32le(dpi).U32le(1);
    const std::string payload = std::string("Exif\0\0", 6) + tiff.bytes();
    ByteWriter segment;
    segment.U8(0xFF).U8(0xE1).U16be(static_cast<unsigned>(payload.size() + 2)).Text(payload);
    const std::size_t app0End = 4 + (static_cast<unsigned char>(jpeg[4]) << 8 | static_cast<unsigned char>(jpeg[5]));
    return jpeg.substr(0, app0End) + segment.bytes() + jpeg.substr(app0End);
}

inline std::string MakeBmp(std::int32_t width, std::int32_t height, std::int32_t pixelsPerMetre) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) / 4 * 4;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
    ByteWriter out;
    out.Text("BM").U32le(54 + imageSize).U32le(0).U32le(54);
    out.U32le(40).U32le(width).U32le(height).U16le(1).U16le(24).U32le(0).U32le(imageSize);
    out.U32le(pixelsPerMetre).U32le(pixelsPerMetre).U32le(0).U32le(0);
    return out.Fill(imageSize, 0x40).bytes();
}

// One frame, a two-colour global palette.
inline std::string MakeGif(unsigned width, unsigned height) {
    ByteWriter out;
    out.Text("GIF89a").U16le(width).U16le(height).U8(0xF0).U8(0).U8(0);
    out.U8(0).U8(0).U8(0).U8(0xFF).U8(0xFF).U8(0xFF);
    out.Text(",").U16le(0).U16le(0).U16le(width).U16le(height).U8(0);
    out.U8(2).U8(2).U8(0x4C).U8(0x01).U8(0).Text(";");
    return out.bytes();
}

// One 32-bit entry of width x height.
inline std::string MakeIco(unsigned width, unsigned height) {
    const std::uint32_t pixels = width * height * 4;
    const std::uint32_t mask = (width + 31) / 32 * 4 * height;
    ByteWriter out;
    out.U16le(0).U16le(1).U16le(1);
    out.U8(width).U8(height).U8(0).U8(0).U16le(1).U16le(32).U32le(40 + pixels + mask).U32le(22);
    out.U32le(40).U32le(width).U32le(height * 2).U16le(1).U16le(32).U32le(0).U32le(pixels + mask);
    out.U32le(0).U32le(0).U32le(0).U32le(0);
    return out.Fill(pixels, 0x7F).Fill(mask, 0).bytes();
}

// Uncompressed true colour, top row first.
inline std::string MakeTga(unsigned width, unsigned height) {
    ByteWriter out;
    out.U8(0).U8(0).U8(2).Fill(5, 0).U16le(0).U16le(0).U16le(width).U16le(height).U8(24).U8(0x20);
    return out.Fill(static_cast<std::size_t>(width) * height * 3, 0x55).bytes();
}

// 8 bits, one plane, run-length rows and the 256-colour palette at the end.
inline std::string MakePcx(unsigned width, unsigned height, unsigned dpi) {
    ByteWriter out;
    out.U8(0x0A).U8(5).U8(1).U8(8).U16le(0).U16le(0).U16le(width - 1).U16le(height - 1).U16le(dpi).U16le(dpi);
    out.Fill(48, 0).U8(0).U8(1).U16le(width).U16le(1).U16le(0).U16le(0).Fill(54, 0);
    for (unsigned y = 0; y < height; ++y) out.U8(0xC0 | width).U8(0x11);  // width < 64
    return out.U8(0x0C).Fill(768, 0x22).bytes();
}

inline std::string MakeWbmp(unsigned width, unsigned height) {
    ByteWriter out;
    out.U8(0).U8(0).U8(width).U8(height);  // both below 128: one byte each
    return out.Fill(static_cast<std::size_t>((width + 7) / 8) * height, 0xAA).bytes();
}

// A placeable metafile whose bounding box is width x height units at
// unitsPerInch, then a header and the end-of-file record.
inline std::string MakeWmf(unsigned width, unsigned height, unsigned unitsPerInch) {
    const unsigned words[10] = {0xCDD7, 0x9AC6, 0, 0, 0, width, height, unitsPerInch, 0, 0};
    unsigned checksum = 0;
    for (unsigned word : words) checksum ^= word;
    ByteWriter out;
    for (unsigned word : words) out.U16le(word);
    out.U16le(checksum);
    out.U16le(1).U16le(9).U16le(0x0300).U32le(9 + 3).U16le(0).U32le(3).U16le(0);
    out.U32le(3).U16le(0);
    return out.bytes();
}

inline std::string MakePgx(unsigned width, unsigned height) {
    return "PG ML +8 " + std::to_string(width) + " " + std::to_string(height) + "\n" +
           std::string(static_cast<std::size_t>(width) * height, '\x30');
}

inline std::string MakePnm(unsigned width, unsigned height) {
    return "P6\n# scan\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n" +
           std::string(static_cast<std::size_t>(width) * height * 3, '\x30');
}

// Sun raster, 24 bits, rows padded to an even length.
inline std::string MakeRas(unsigned width, unsigned height) {
    const std::uint32_t rowBytes = (width * 3 + 1) / 2 * 2;
    ByteWriter out;
    out.U32be(0x59A66A95).U32be(width).U32be(height).U32be(24).U32be(rowBytes * height).U32be(1).U32be(0).U32be(0);
    return out.Fill(static_cast<std::size_t>(rowBytes) * height, 0x66).bytes();
}

// Every format, each at 20 x 10 pixels (the metafile at 96 x 48) and 72 dpi
// where the format records a resolution; a grey JPEG also with an EXIF block
// that says 400 dpi. The JPEGs are saved at qualities of their own, which
// their rows show.
inline std::vector<FormatSample> AllFormatSamples() {
    const ImageColumns trueColour{"20*10", "96", "真彩色"};
    const ImageColumns trueColourAt72{"20*10", "72", "真彩色"};
    const ImageColumns grey{"20*10", "96", "256色"};
    return {
        {"jpg",
         MakeJpeg({.width = 20, .height = 10, .components = 3, .densityUnit = 1, .density = 72, .quality = 85}),
         {"20*10", "72", "真彩色", "85%"}},
        {"jpeg",
         WithExifResolution(
             MakeJpeg({.width = 20, .height = 10, .components = 1, .densityUnit = 1, .density = 72, .quality = 60}),
             400),
         {"20*10", "400", "256色", "60%"}},
        {"png", MakePng(20, 10, 2835), trueColourAt72},
        {"tif", MakeTiff(20, 10, 72), trueColourAt72},
        {"bmp", MakeBmp(20, 10, 2835), trueColourAt72},
        {"gif", MakeGif(20, 10), {"20*10", "96", "2色"}},
        {"ico", MakeIco(20, 10), trueColour},
        {"tga", MakeTga(20, 10), trueColour},
        {"pcx", MakePcx(20, 10, 72), {"20*10", "72", "256色"}},
        {"wbmp", MakeWbmp(20, 10), {"20*10", "96", "2色"}},
        {"wmf", MakeWmf(1440, 720, 1440), {"96*48", "96", "真彩色"}},
        {"jp2", MakeJpeg2000(20, 10, true), grey},
        {"j2k", MakeJpeg2000(20, 10, false), grey},
        {"pgx", MakePgx(20, 10), grey},
        {"pnm", MakePnm(20, 10), trueColour},
        {"ras", MakeRas(20, 10), trueColour},
    };
}

}  // namespace quillmere::testing
