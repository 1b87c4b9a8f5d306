#pragma once
// Writes small real JPEG files with libjpeg for tests.

#include <cstdio>
#include <jpeglib.h>

#include <string>
#include <vector>

namespace quillmere::testing {

struct JpegFixture {
    int width = 8;
    int height = 8;
    int components = 3;       // 1 grey, 3 colour
    int densityUnit = 1;      // JFIF: 0 aspect only, 1 per inch, 2 per cm
    int density = 300;
    int quality = 75;         // libjpeg's default
};

inline std::string MakeJpeg(const JpegFixture& fixture) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(fixture.width);
    cinfo.image_height = static_cast<JDIMENSION>(fixture.height);
    cinfo.input_components = fixture.components;
    cinfo.in_color_space = fixture.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, fixture.quality, TRUE);
    cinfo.write_JFIF_header = TRUE;
    cinfo.density_unit = static_cast<UINT8>(fixture.densityUnit);
    cinfo.X_density = static_cast<UINT16>(fixture.density);
    cinfo.Y_density = static_cast<UINT16>(fixture.density);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(fixture.width * fixture.components), 128);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

}  // namespace quillmere::testing
