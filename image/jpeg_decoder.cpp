// JPEG: the frame size and components from libjpeg's header parse, the
// resolution from the EXIF block or else the JFIF density, the quality from
// the quantisation tables. No scan data is decompressed.

#include <cmath>
#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs size_t and FILE declared first
#include <limits>
#include <optional>

#include <jpeglib.h>
#include <jerror.h>

#include "image/decoders.h"
#include "image/exif_reader.h"
#include "image/image_object.h"
#include "image/jpeg_quality.h"

namespace quillmere::image {

namespace {

constexpr std::size_t kSourceBufferSize = 4 * 1024;
// libjpeg skips any run of bytes between markers; on a half-written file
// (headers, then a hole of zeros) it would read the whole hole. No real
// header runs this long before the first scan, so past it the input ends.
constexpr std::size_t kMaxHeaderBytes = 64 * 1024 * 1024;

// libjpeg reports a fatal error by calling error_exit, which must not
// return; it jumps back into ReadJpegHeader, the only function that calls
// into libjpeg while a jump target is set. Messages are kept, never printed.
struct JpegErrors {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
};

void ExitOnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    errors->manager.format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void CountMessage(j_common_ptr info, int level) {
    if (level < 0) ++info->err->num_warnings;
}

void DiscardMessage(j_common_ptr) {}

// Feeds libjpeg from a ByteStream, as libjpeg's own stdio source does:
// an empty file is an error, a file cut short ends in a fake end of image.
struct StreamSource {
    jpeg_source_mgr manager{};
    ByteStream* stream = nullptr;
    bool startOfFile = true;
    std::size_t fed = 0;
    JOCTET buffer[kSourceBufferSize];
};

void InitSource(j_decompress_ptr info) {
    reinterpret_cast<StreamSource*>(info->src)->startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr info) {
    auto* source = reinterpret_cast<StreamSource*>(info->src);
    std::size_t got =
        source->fed < kMaxHeaderBytes ? source->stream->Read(source->buffer, 1, kSourceBufferSize) : 0;
    source->fed += got;
    if (got == 0) {
        if (source->startOfFile) ERREXIT(info, JERR_INPUT_EMPTY);
        WARNMS(info, JWRN_JPEG_EOF);
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        got = 2;
    }
    source->manager.next_input_byte = source->buffer;
    source->manager.bytes_in_buffer = got;
    source->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count) {
    if (count <= 0) return;
    auto* source = reinterpret_cast<StreamSource*>(info->src);
    const auto skip = static_cast<std::size_t>(count);
    if (skip <= source->manager.bytes_in_buffer) {
        source->manager.next_input_byte += skip;
        source->manager.bytes_in_buffer -= skip;
        return;
    }
    // Skipping past the buffer moves the stream instead of reading the bytes.
    const auto beyond = static_cast<std::int64_t>(skip - source->manager.bytes_in_buffer);
    source->manager.bytes_in_buffer = 0;
    source->stream->Seek(beyond, SeekOrigin::Current);
}

void TermSource(j_decompress_ptr) {}

// Owns one decompressor with its error and source managers.
class JpegHeaderReader {
public:
    explicit JpegHeaderReader(ByteStream& stream) {
        info_.err = jpeg_std_error(&errors_.manager);
        errors_.manager.error_exit = ExitOnError;
        errors_.manager.emit_message = CountMessage;
        errors_.manager.output_message = DiscardMessage;
        source_.stream = &stream;
        source_.manager.init_source = InitSource;
        source_.manager.fill_input_buffer = FillInputBuffer;
        source_.manager.skip_input_data = SkipInputData;
        source_.manager.resync_to_restart = jpeg_resync_to_restart;
        source_.manager.term_source = TermSource;
    }
    ~JpegHeaderReader() { jpeg_destroy_decompress(&info_); }
    JpegHeaderReader(const JpegHeaderReader&) = delete;
    JpegHeaderReader& operator=(const JpegHeaderReader&) = delete;

    // Parses the markers up to the first scan and works out the output size
    // and components; false with message() set on any libjpeg error.
    bool ReadHeader() { return ReadJpegHeader(info_, errors_, source_); }

    const jpeg_decompress_struct& info() const { return info_; }
    const char* message() const { return errors_.message; }

private:
    // Nothing with a destructor lives in this frame, so the jump back from
    // ExitOnError skips no clean-up.
    static bool ReadJpegHeader(jpeg_decompress_struct& info, JpegErrors& errors, StreamSource& source) {
        if (setjmp(errors.jump) != 0) return false;
        jpeg_create_decompress(&info);
        info.src = &source.manager;
        source.manager.bytes_in_buffer = 0;
        source.manager.next_input_byte = nullptr;
        jpeg_read_header(&info, TRUE);
        jpeg_calc_output_dimensions(&info);
        return true;
    }

    jpeg_decompress_struct info_{};
    JpegErrors errors_;
    StreamSource source_;
};

// The quotient truncated toward zero; a value no 32-bit integer holds
// becomes the lowest one, which SetXDPI then treats like any non-positive dpi.
std::int32_t TruncateToDpi(long double value) {
    if (!std::isfinite(value) || value <= static_cast<long double>(std::numeric_limits<std::int32_t>::min()) - 1 ||
        value >= static_cast<long double>(std::numeric_limits<std::int32_t>::max()) + 1) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t DpiFromJfifDensity(unsigned densityUnit, unsigned density) {
    if (densityUnit == 2) return static_cast<std::int32_t>(std::floor(density * 2.54 + 0.5));
    return static_cast<std::int32_t>(density);
}

const JQUANT_TBL* TableOfComponent(const jpeg_decompress_struct& info, int component) {
    const int slot = info.comp_info[component].quant_tbl_no;
    return slot >= 0 && slot < NUM_QUANT_TBLS ? info.quant_tbl_ptrs[slot] : nullptr;
}

QuantisationTable CopyTable(const JQUANT_TBL& table) {
    QuantisationTable copy{};
    for (std::size_t i = 0; i < copy.size(); ++i) copy[i] = table.quantval[i];
    return copy;
}

// The first component's table is the luminance table; the first other
// component with a table of its own has the chrominance table. A file that
// uses one table for every component (grey, and libjpeg's CMYK) is judged
// by that table alone. nullopt when a component's table was never defined
// before the first scan: a full decode would fail on it.
std::optional<std::uint8_t> QualityFromTables(const jpeg_decompress_struct& info) {
    if (info.num_components < 1 || info.comp_info == nullptr) return std::nullopt;
    for (int component = 0; component < info.num_components; ++component) {
        if (TableOfComponent(info, component) == nullptr) return std::nullopt;
    }
    const QuantisationTable luminance = CopyTable(*TableOfComponent(info, 0));
    std::optional<QuantisationTable> chrominance;
    for (int component = 1; component < info.num_components; ++component) {
        if (info.comp_info[component].quant_tbl_no != info.comp_info[0].quant_tbl_no) {
            chrominance = CopyTable(*TableOfComponent(info, component));
            break;
        }
    }
    return EstimateJpegQuality(luminance, chrominance);
}

}  // namespace

bool DecodeJpeg(ByteStream& stream, CodecImage& image) {
    const std::int64_t start = stream.Tell();
    ExifReader exif;
    exif.ScanExifSegments(stream, true);
    stream.Seek(start, SeekOrigin::Begin);

    JpegHeaderReader reader(stream);
    if (!reader.ReadHeader()) {
        image.SetError(reader.message());
        return false;
    }
    const jpeg_decompress_struct& info = reader.info();
    if (!image.Create(info.output_width, info.output_height, 8u * static_cast<unsigned>(info.output_components),
                      ImageFormat::Jpg)) {
        return false;
    }

    const ExifRecord& record = exif.record();
    if (record.isExif) {
        const long double factor = record.resolutionUnitFactor;
        if (record.xResolution != 0.0f && factor != 0.0L) image.SetXDPI(TruncateToDpi(record.xResolution / factor));
        if (record.yResolution != 0.0f && factor != 0.0L) image.SetYDPI(TruncateToDpi(record.yResolution / factor));
    } else {
        image.SetXDPI(DpiFromJfifDensity(info.density_unit, info.X_density));
        image.SetYDPI(DpiFromJfifDensity(info.density_unit, info.Y_density));
    }

    if (info.out_color_space == JCS_GRAYSCALE) image.header.colorCount = 256;
    if (const std::optional<std::uint8_t> quality = QualityFromTables(info)) image.settings.jpegQuality = *quality;
    return true;
}

}  // namespace quillmere::image
