#pragma once
// Small image files made in memory for the decoder tests: JPEG, PNG and
// TIFF through their libraries' writers, EXIF blocks and files on disk.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace quillmere::image::fixtures {

using Bytes = std::vector<std::uint8_t>;

// ---- JPEG ----

struct JpegSpec {
    std::uint32_t width = 16;
    std::uint32_t height = 8;
    int components = 3;           // 1 grey, 3 colour, 4 CMYK
    bool jfif = true;             // write the JFIF APP0 segment
    std::uint8_t densityUnit = 1;
    std::uint16_t xDensity = 72;
    std::uint16_t yDensity = 72;
    std::vector<std::pair<int, Bytes>> markers;  // (marker, payload) after the APP0
};

inline Bytes WriteJpeg(const JpegSpec& fixture) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = fixture.width;
    info.image_height = fixture.height;
    info.input_components = fixture.components;
    info.in_color_space = fixture.components == 1 ? JCS_GRAYSCALE : fixture.components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    info.write_JFIF_header = fixture.jfif ? TRUE : FALSE;
    info.density_unit = fixture.densityUnit;
    info.X_density = fixture.xDensity;
    info.Y_density = fixture.yDensity;
    jpeg_start_compress(&info, TRUE);
    for (const auto& [marker, payload] : fixture.markers) {
        jpeg_write_marker(&info, marker, payload.data(), static_cast<unsigned>(payload.size()));
    }
    std::vector<JSAMPLE> row(static_cast<std::size_t>(fixture.width) * fixture.components, 128);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes result(buffer, buffer + size);
    std::free(buffer);
    return result;
}

// ---- EXIF ----

// Assembles the TIFF structure inside an EXIF block in either byte order.
class ExifBuilder {
public:
    struct Entry {
        std::uint16_t tag;
        std::uint16_t format;
        std::uint32_t count;
        std::uint32_t value;  // the value itself (left-aligned for SHORT) or an offset
    };

    explicit ExifBuilder(bool motorola) : motorola_(motorola) {
        tiff_ = motorola ? Bytes{'M', 'M'} : Bytes{'I', 'I'};
        Put16(42);
        Put32(8);
    }

    // Appends a directory; returns its offset. `next` is the link after it.
    std::uint32_t AddDirectory(const std::vector<Entry>& entries, std::uint32_t next = 0) {
        const auto offset = static_cast<std::uint32_t>(tiff_.size());
        Put16(static_cast<std::uint16_t>(entries.size()));
        for (const Entry& entry : entries) {
            Put16(entry.tag);
            Put16(entry.format);
            Put32(entry.count);
            if (entry.format == 3 && entry.count == 1) {
                Put16(static_cast<std::uint16_t>(entry.value));
                Put16(0);
            } else {
                Put32(entry.value);
            }
        }
        Put32(next);
        return offset;
    }
    // Appends a rational (format 5 / 10); returns its offset.
    std::uint32_t AddRational(std::uint32_t numerator, std::uint32_t denominator) {
        const auto offset = static_cast<std::uint32_t>(tiff_.size());
        Put32(numerator);
        Put32(denominator);
        return offset;
    }
    // Overwrites four bytes at offset (a link or an offset fixed up later).
    void Patch32(std::uint32_t offset, std::uint32_t value) {
        const Bytes saved(tiff_.begin() + offset + 4, tiff_.end());
        tiff_.resize(offset);
        Put32(value);
        tiff_.insert(tiff_.end(), saved.begin(), saved.end());
    }
    std::uint32_t size() const { return static_cast<std::uint32_t>(tiff_.size()); }
    Bytes& tiff() { return tiff_; }

    // "Exif\0\0" and the TIFF data: an APP1 payload.
    Bytes App1Payload() const {
        Bytes payload(6 + tiff_.size(), 0);
        std::memcpy(payload.data(), "Exif", 4);
        std::copy(tiff_.begin(), tiff_.end(), payload.begin() + 6);
        return payload;
    }

private:
    void Put16(std::uint16_t v) {
        if (motorola_) {
            tiff_.push_back(static_cast<std::uint8_t>(v >> 8));
            tiff_.push_back(static_cast<std::uint8_t>(v));
        } else {
            tiff_.push_back(static_cast<std::uint8_t>(v));
            tiff_.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    }
    void Put32(std::uint32_t v) {
        if (motorola_) {
            Put16(static_cast<std::uint16_t>(v >> 16));
            Put16(static_cast<std::uint16_t>(v));
        } else {
            Put16(static_cast<std::uint16_t>(v));
            Put16(static_cast<std::uint16_t>(v >> 16));
        }
    }

    bool motorola_;
    Bytes tiff_;
};

constexpr std::uint16_t kTagOrientation = 0x0112;
constexpr std::uint16_t kTagXResolution = 0x011A;
constexpr std::uint16_t kTagYResolution = 0x011B;
constexpr std::uint16_t kTagResolutionUnit = 0x0128;
constexpr std::uint16_t kTagExifDirectory = 0x8769;
constexpr std::uint16_t kFormatShort = 3;
constexpr std::uint16_t kFormatLong = 4;
constexpr std::uint16_t kFormatRational = 5;

// A one-directory block with XResolution = numerator/denominator and the unit;
// the rational sits after the directory.
inline Bytes SimpleExifPayload(bool motorola, std::uint32_t numerator, std::uint32_t denominator,
                               std::uint16_t unit) {
    ExifBuilder exif(motorola);
    // 8 + 2 + 2 * 12 + 4 = 38: where the rational lands.
    exif.AddDirectory({{kTagXResolution, kFormatRational, 1, 38}, {kTagResolutionUnit, kFormatShort, 1, unit}});
    exif.AddRational(numerator, denominator);
    return exif.App1Payload();
}

// ---- PNG ----

struct PngSpec {
    std::uint32_t width = 8;
    std::uint32_t height = 4;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    bool phys = false;
    std::uint32_t xPerUnit = 0;
    std::uint32_t yPerUnit = 0;
    int unit = PNG_RESOLUTION_METER;
};

inline void AppendToBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

inline Bytes WritePng(const PngSpec& fixture) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendToBytes, nullptr);
    png_set_IHDR(png, info, fixture.width, fixture.height, fixture.bitDepth, fixture.colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (fixture.colorType == PNG_COLOR_TYPE_PALETTE) {
        std::vector<png_color> palette(static_cast<std::size_t>(1) << fixture.bitDepth);
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    }
    if (fixture.phys) png_set_pHYs(png, info, fixture.xPerUnit, fixture.yPerUnit, fixture.unit);
    png_write_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<png_byte> row(rowBytes, 0);
    for (std::uint32_t y = 0; y < fixture.height; ++y) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// ---- TIFF ----

struct TiffPage {
    std::uint32_t width = 8;
    std::uint32_t height = 4;
    std::uint16_t bitsPerSample = 8;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    bool resolution = false;
    float xResolution = 0;
    float yResolution = 0;
    std::uint16_t unit = RESUNIT_INCH;
    bool position = false;
    float xPosition = 0;
    float yPosition = 0;
};

// Writes the pages into a file through libtiff and returns its bytes.
inline Bytes WriteTiff(const std::vector<TiffPage>& pages) {
    char path[] = "/tmp/quillmere-tiff-XXXXXX";
    const int fd = mkstemp(path);
    close(fd);
    TIFF* tiff = TIFFOpen(path, "w");
    for (const TiffPage& page : pages) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, page.bitsPerSample);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.samplesPerPixel);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.photometric);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.height);
        if (page.photometric == PHOTOMETRIC_PALETTE) {
            std::vector<std::uint16_t> map(static_cast<std::size_t>(1) << page.bitsPerSample, 0);
            TIFFSetField(tiff, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
        }
        if (page.resolution) {
            TIFFSetField(tiff, TIFFTAG_XRESOLUTION, page.xResolution);
            TIFFSetField(tiff, TIFFTAG_YRESOLUTION, page.yResolution);
            TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, page.unit);
        }
        if (page.position) {
            TIFFSetField(tiff, TIFFTAG_XPOSITION, page.xPosition);
            TIFFSetField(tiff, TIFFTAG_YPOSITION, page.yPosition);
        }
        const tmsize_t rowBytes = TIFFScanlineSize(tiff);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes), 0);
        for (std::uint32_t y = 0; y < page.height; ++y) TIFFWriteScanline(tiff, row.data(), y, 0);
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    std::ifstream in(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path);
    return bytes;
}

// ---- files ----

// A directory under /tmp removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/quillmere-image-test-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes bytes into a file of that name; returns its path.
    std::string Write(const std::string& name, const Bytes& bytes) const {
        const std::string file = path_ + "/" + name;
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return file;
    }
    std::string WriteText(const std::string& name, const std::string& text) const {
        return Write(name, Bytes(text.begin(), text.end()));
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Writes a big-endian 32-bit value into bytes at offset.
inline void PutBigEndian32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

}  // namespace quillmere::image::fixtures
