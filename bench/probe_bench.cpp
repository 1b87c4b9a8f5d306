// Header probe benchmark.
//
//   probe_bench generate DIR      writes the two data sets under DIR:
//                                 DIR/scans  1,500 A4 300-dpi pages (2480 x 3508):
//                                            colour and grey JPEG, TIFF, PNG
//                                 DIR/small  50,000 small JPEGs in nested folders
//   probe_bench probe LIST        probes every path in LIST (one per line) on
//                                 this thread and prints files per second
//
// bench/probe_bench.sh runs both and compares with exiftool and gm.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <tiffio.h>

#include "image/image_object.h"
#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "tests/support/fixture_writers.h"

namespace fs = std::filesystem;
using quillmere::image::fixtures::Bytes;
namespace fixtures = quillmere::image::fixtures;

namespace {

constexpr std::uint32_t kA4Width = 2480;
constexpr std::uint32_t kA4Height = 3508;

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// An EXIF block like a scanner writes: 300 dpi in inches, plus a few
// kilobytes of other data (a thumbnail stand-in) the probe must step over.
Bytes ScannerExif() {
    Bytes payload = fixtures::SimpleExifPayload(false, 300, 1, 2);
    payload.resize(payload.size() + 12000, 0x55);
    return payload;
}

Bytes A4Jpeg(int components, bool exif) {
    fixtures::JpegSpec fixture;
    fixture.width = kA4Width;
    fixture.height = kA4Height;
    fixture.components = components;
    fixture.densityUnit = 1;
    fixture.xDensity = fixture.yDensity = 300;
    if (exif) fixture.markers.push_back({JPEG_APP0 + 1, ScannerExif()});
    return fixtures::WriteJpeg(fixture);
}

Bytes A4Png() {
    fixtures::PngSpec fixture;
    fixture.width = kA4Width;
    fixture.height = kA4Height;
    fixture.colorType = PNG_COLOR_TYPE_GRAY;
    fixture.phys = true;
    fixture.xPerUnit = fixture.yPerUnit = 11811;
    return fixtures::WritePng(fixture);
}

// A bilevel page in CCITT group 4, as archive scanners write them.
void WriteA4Tiff(const fs::path& path) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kA4Width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kA4Height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 64);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 300.0f);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 300.0f);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    std::vector<std::uint8_t> row((kA4Width + 7) / 8, 0);
    for (std::uint32_t y = 0; y < kA4Height; ++y) {
        row[(y / 8) % row.size()] = static_cast<std::uint8_t>(y % 3 == 0 ? 0xF0 : 0);
        TIFFWriteScanline(tiff, row.data(), y, 0);
    }
    TIFFClose(tiff);
}

// Writes one template of each kind, then copies it to make up the count.
int Generate(const fs::path& root) {
    const fs::path scans = root / "scans";
    const fs::path small = root / "small";
    fs::create_directories(scans);
    fs::create_directories(small);

    const fs::path colourExif = scans / "template-colour-exif.jpg";
    const fs::path colour = scans / "template-colour.jpg";
    const fs::path grey = scans / "template-grey.jpg";
    const fs::path png = scans / "template.png";
    const fs::path tif = scans / "template.tif";
    WriteFile(colourExif, A4Jpeg(3, true));
    WriteFile(colour, A4Jpeg(3, false));
    WriteFile(grey, A4Jpeg(1, false));
    WriteFile(png, A4Png());
    WriteA4Tiff(tif);

    struct Share {
        const fs::path& from;
        int count;
        const char* extension;
    };
    const Share shares[] = {{colourExif, 400, "jpg"}, {colour, 200, "jpg"}, {grey, 300, "jpg"},
                            {tif, 300, "tif"},        {png, 300, "png"}};
    int number = 0;
    for (const Share& share : shares) {
        for (int i = 0; i < share.count; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "page-%05d.%s", number++, share.extension);
            fs::copy_file(share.from, scans / name, fs::copy_options::overwrite_existing);
        }
    }
    for (const fs::path& path : {colourExif, colour, grey, png, tif}) fs::remove(path);

    fixtures::JpegSpec smallSpec;
    smallSpec.width = 64;
    smallSpec.height = 48;
    const Bytes smallPlain = fixtures::WriteJpeg(smallSpec);
    smallSpec.markers.push_back({JPEG_APP0 + 1, fixtures::SimpleExifPayload(true, 72, 1, 2)});
    const Bytes smallExif = fixtures::WriteJpeg(smallSpec);
    int count = 0;
    for (int a = 0; a < 50; ++a) {
        for (int b = 0; b < 10; ++b) {
            char folder[32];
            std::snprintf(folder, sizeof folder, "d%02d/e%d", a, b);
            fs::create_directories(small / folder);
            for (int c = 0; c < 100; ++c) {
                char name[32];
                std::snprintf(name, sizeof name, "/f%03d.jpg", c);
                WriteFile(small / (std::string(folder) + name), count++ % 2 == 0 ? smallExif : smallPlain);
            }
        }
    }
    std::cout << "wrote 1500 scans and " << count << " small files under " << root << "\n";
    return 0;
}

int Probe(const char* listFile) {
    std::ifstream list(listFile);
    std::vector<quillmere::Text> paths;
    for (std::string line; std::getline(list, line);) {
        if (!line.empty()) paths.push_back(quillmere::TextFromUtf8(line));
    }
    std::uint64_t checksum = 0;
    std::size_t decoded = 0;
    const quillmere::RealFileSystem fs;
    const auto start = std::chrono::steady_clock::now();
    for (const quillmere::Text& path : paths) {
        const auto probe = quillmere::image::ProbeImageFile(fs, path, quillmere::image::ImageFormat::Jpg);
        decoded += probe.decoded ? 1 : 0;
        checksum += static_cast<std::uint64_t>(probe.width) + static_cast<std::uint64_t>(probe.xDpi) +
                    probe.colorCount;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("files %zu decoded %zu checksum %llu seconds %.3f files_per_second %.0f\n", paths.size(), decoded,
                static_cast<unsigned long long>(checksum), seconds, static_cast<double>(paths.size()) / seconds);
    return decoded == paths.size() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "generate") return Generate(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "probe") return Probe(argv[2]);
    std::fprintf(stderr, "usage: probe_bench generate DIR | probe LISTFILE\n");
    return 2;
}
