// Writes the benchmark corpora: a few real images are encoded once with
// libjpeg, libtiff and libpng, then every file of the corpus is written as
// its own copy of one of them (a separate inode and separate pages, so the
// page cache is not flattered by hard links).
//
//   corpus_gen small DIR COUNT   small JPEGs, some TIFF/PNG/BMP, a few non-images,
//                                10 volumes x 10 boxes
//   corpus_gen a4 DIR COUNT      A4 300-dpi scans (2480x3508): colour and grey
//                                JPEG, grey TIFF, grey PNG, 10 boxes
//   corpus_gen empty DIR COUNT   files of a few bytes, 1,000 per folder
//   corpus_gen tiny DIR COUNT    tiny valid JPEG/PNG/TIFF/BMP images, 1,000 per folder; in
//                                each folder the first file of each kind is written and
//                                the rest are hard links to it (a million files in minutes
//                                and a few MB, each link count far below the file system's limit)

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace {

using Bytes = std::vector<unsigned char>;

// A scanned page in grey levels: paper with a little noise, dark lines of
// "text" and a margin, so the encoders produce sizes like real scans.
std::vector<unsigned char> PagePixels(int width, int height, int components, unsigned seed) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * components);
    std::minstd_rand random(seed);
    const int lineHeight = height / 60 + 1;
    for (int y = 0; y < height; ++y) {
        const bool textLine = y > height / 10 && y < height * 9 / 10 && (y / lineHeight) % 2 == 0 &&
                              (y % lineHeight) > lineHeight / 4;
        unsigned char* row = pixels.data() + static_cast<std::size_t>(y) * width * components;
        for (int x = 0; x < width; ++x) {
            int value = 235 + static_cast<int>(random() % 12);
            if (textLine && x > width / 12 && x < width * 11 / 12 && ((x / 7 + y / lineHeight) % 5) != 0 &&
                random() % 3 != 0) {
                value = 30 + static_cast<int>(random() % 40);
            }
            for (int c = 0; c < components; ++c) row[x * components + c] = static_cast<unsigned char>(value - c * 6);
        }
    }
    return pixels;
}

Bytes EncodeJpeg(int width, int height, int components, int dpi, int quality, unsigned seed) {
    const auto pixels = PagePixels(width, height, components, seed);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.density_unit = 1;
    cinfo.X_density = static_cast<UINT16>(dpi);
    cinfo.Y_density = static_cast<UINT16>(dpi);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(pixels.data()) +
                       static_cast<std::size_t>(cinfo.next_scanline) * width * components;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes bytes(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

void AppendPng(png_structp png, png_bytep data, png_size_t length) {
    auto* bytes = static_cast<Bytes*>(png_get_io_ptr(png));
    bytes->insert(bytes->end(), data, data + length);
}

Bytes EncodePng(int width, int height, int components, int dpi, unsigned seed) {
    const auto pixels = PagePixels(width, height, components, seed);
    Bytes bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &bytes, AppendPng, nullptr);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 components == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const auto perMetre = static_cast<png_uint_32>(dpi / 0.0254 + 0.5);
    png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, pixels.data() + static_cast<std::size_t>(y) * width * components);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

Bytes EncodeTiff(const std::string& scratch, int width, int height, int components, int dpi, unsigned seed) {
    const auto pixels = PagePixels(width, height, components, seed);
    TIFF* tiff = TIFFOpen(scratch.c_str(), "w");
    if (tiff == nullptr) return {};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(components));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(8));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, components == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(64));
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(dpi));
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(dpi));
    for (int y = 0; y < height; ++y) {
        TIFFWriteScanline(tiff, const_cast<unsigned char*>(pixels.data()) + static_cast<std::size_t>(y) * width * components,
                          static_cast<std::uint32_t>(y), 0);
    }
    TIFFClose(tiff);
    Bytes bytes;
    if (FILE* file = std::fopen(scratch.c_str(), "rb")) {
        unsigned char chunk[65536];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
        std::fclose(file);
    }
    std::remove(scratch.c_str());
    return bytes;
}

void Put16(Bytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<unsigned char>(value));
    bytes.push_back(static_cast<unsigned char>(value >> 8));
}
void Put32(Bytes& bytes, std::uint32_t value) {
    Put16(bytes, static_cast<std::uint16_t>(value));
    Put16(bytes, static_cast<std::uint16_t>(value >> 16));
}

// A 24-bit bottom-up BMP at the given resolution.
Bytes EncodeBmp(int width, int height, int dpi) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
    Bytes bytes;
    bytes.push_back('B');
    bytes.push_back('M');
    Put32(bytes, 54 + imageSize);
    Put32(bytes, 0);
    Put32(bytes, 54);
    Put32(bytes, 40);
    Put32(bytes, static_cast<std::uint32_t>(width));
    Put32(bytes, static_cast<std::uint32_t>(height));
    Put16(bytes, 1);
    Put16(bytes, 24);
    Put32(bytes, 0);
    Put32(bytes, imageSize);
    const auto perMetre = static_cast<std::uint32_t>(dpi / 0.0254 + 0.5);
    Put32(bytes, perMetre);
    Put32(bytes, perMetre);
    Put32(bytes, 0);
    Put32(bytes, 0);
    bytes.resize(bytes.size() + imageSize, 0xF0);
    return bytes;
}

Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

bool MakeDirectories(const std::string& path) {
    std::string partial;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
                std::perror(partial.c_str());
                return false;
            }
        }
        if (i < path.size()) partial += path[i];
    }
    return true;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            std::perror(path.c_str());
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0;
}

struct Template {
    Bytes bytes;
    const char* extension;
    int weight;  // share of the corpus, in per mille
};

// Writes count files spread over the folders, cycling through the templates by weight;
// linked: a template's later files in a folder are hard links to its first one there.
int WriteCorpus(const std::string& root, long count, long perFolder, const std::vector<Template>& templates,
                bool linked = false) {
    std::vector<std::string> firstInFolder(templates.size());
    std::vector<std::size_t> schedule;  // 1,000 slots filled by weight
    for (std::size_t t = 0; t < templates.size(); ++t) schedule.insert(schedule.end(), templates[t].weight, t);
    std::minstd_rand random(7);
    for (long i = 0; i < count; ++i) {
        const long folder = i / perFolder;
        char relative[96];
        std::snprintf(relative, sizeof relative, "/vol%02ld/box%03ld", folder / 10, folder % 10);
        const std::string directory = root + relative;
        if (i % perFolder == 0) {
            if (!MakeDirectories(directory)) return 1;
            for (std::string& first : firstInFolder) first.clear();
        }
        const std::size_t index = schedule[random() % schedule.size()];
        const Template& chosen = templates[index];
        char name[64];
        std::snprintf(name, sizeof name, "/%04ld-%06ld.%s", folder, i, chosen.extension);
        const std::string path = directory + name;
        if (linked && !firstInFolder[index].empty()) {
            if (::link(firstInFolder[index].c_str(), path.c_str()) != 0) {
                std::perror(path.c_str());
                return 1;
            }
            continue;
        }
        if (!WriteFile(path, chosen.bytes)) return 1;
        firstInFolder[index] = path;
    }
    return 0;
}

int Small(const std::string& root, long count) {
    std::vector<Template> templates = {
        {EncodeJpeg(320, 452, 3, 300, 85, 1), "jpg", 300},
        {EncodeJpeg(452, 320, 3, 200, 90, 2), "jpg", 200},
        {EncodeJpeg(300, 424, 1, 300, 80, 3), "jpg", 150},
        {EncodeJpeg(248, 350, 1, 150, 75, 4), "JPG", 150},
        {EncodeJpeg(640, 480, 3, 72, 92, 5), "jpeg", 50},
        {EncodeTiff(root + "/.scratch.tif", 300, 424, 1, 300, 6), "tif", 50},
        {EncodePng(300, 424, 1, 300, 7), "png", 40},
        {EncodeBmp(120, 160, 96), "bmp", 30},
        {TextBytes("archive note: not an image\n"), "txt", 15},
        {TextBytes("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj << >> endobj\ntrailer << >>\n%%EOF\n"), "pdf", 15},
    };
    return WriteCorpus(root, count, count / 100 > 0 ? count / 100 : 1, templates);
}

int A4(const std::string& root, long count) {
    std::fprintf(stderr, "encoding the A4 pages...\n");
    std::vector<Template> templates = {
        {EncodeJpeg(2480, 3508, 3, 300, 85, 11), "jpg", 500},
        {EncodeJpeg(2480, 3508, 1, 300, 85, 12), "jpg", 200},
        {EncodeTiff(root + "/.scratch.tif", 2480, 3508, 1, 300, 13), "tif", 150},
        {EncodePng(2480, 3508, 1, 300, 14), "png", 150},
    };
    for (const Template& t : templates) std::fprintf(stderr, "  %s: %zu bytes\n", t.extension, t.bytes.size());
    return WriteCorpus(root, count, count / 10 > 0 ? count / 10 : 1, templates);
}

int Empty(const std::string& root, long count) {
    const std::vector<Template> templates = {{TextBytes("x\n"), "jpg", 1}};
    return WriteCorpus(root, count, 1000, templates);
}

int Tiny(const std::string& root, long count) {
    std::vector<Template> templates = {
        {EncodeJpeg(24, 32, 3, 300, 85, 21), "jpg", 500},
        {EncodeJpeg(32, 24, 1, 200, 75, 22), "jpg", 250},
        {EncodeTiff(root + "/.scratch.tif", 24, 32, 1, 300, 23), "tif", 100},
        {EncodePng(24, 32, 3, 300, 24), "png", 100},
        {EncodeBmp(8, 12, 96), "bmp", 50},
    };
    return WriteCorpus(root, count, 1000, templates, true);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s small|a4|empty|tiny DIR COUNT\n", argv[0]);
        return 2;
    }
    const std::string kind = argv[1];
    const std::string root = argv[2];
    const long count = std::strtol(argv[3], nullptr, 10);
    if (count <= 0 || !MakeDirectories(root)) return 2;
    if (kind == "small") return Small(root, count);
    if (kind == "a4") return A4(root, count);
    if (kind == "empty") return Empty(root, count);
    if (kind == "tiny") return Tiny(root, count);
    std::fprintf(stderr, "unknown corpus '%s'\n", kind.c_str());
    return 2;
}
