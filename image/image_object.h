#pragma once
// The image probe and the library commands the workflow uses on its result.
//
// One path decodes a file: the file system opens it as a byte stream, the
// hinted decoder tries it, then detection; the result is an ImageProbe value.
// The commands (DecodeFromFile, GetLastError, GetWidth, ...) keep a probe in
// an ImageHandle and answer from it.
//
// Every decode starts from the start-up defaults, so nothing of an earlier
// file survives into the next one: a file no decoder accepts reports width 0,
// height 0, 96 dpi, colour count 0 and quality 90. Decoders read headers and
// tables only; no pixel data is decoded or allocated.

#include <cstdint>
#include <optional>
#include <span>

#include "image/image_format.h"
#include "image/image_properties.h"
#include "runtime/byte_stream.h"
#include "runtime/file_system.h"
#include "runtime/text.h"

namespace quillmere::image {

// The decode: the hinted decoder first, then detection across every decoder,
// each reading the stream from its start. Safe on any thread; touches
// nothing shared.
ImageProbe ProbeImageStream(ByteStream& stream, ImageFormat hint);
// The decode of a file opened through fs. A path shorter than 4 bytes is
// not looked at (pathAccepted false); a file that cannot be opened, or is
// not a regular file, is not decoded and says why in notReadReason.
ImageProbe ProbeImageFile(const FileSystem& fs, const Text& path, ImageFormat hint);
// The decode of bytes already in memory (no path, so no length rule).
ImageProbe ProbeImageBytes(std::span<const unsigned char> bytes, ImageFormat hint);

// The caller's reference to the last decode's result: empty until the first
// decode of a path of 4 bytes or more, empty again after Free.
class ImageHandle {
public:
    bool empty() const noexcept { return !probe_.has_value(); }

private:
    friend void AdoptProbe(ImageHandle&, const ImageProbe&);
    friend void Free(ImageHandle&);
    friend const ImageProbe* ProbeOf(const ImageHandle&);
    std::optional<ImageProbe> probe_;
};

// Keeps a probe made elsewhere (on a worker thread, say) in the handle, as
// DecodeFromFile would have: a probe whose path was too short leaves an empty
// handle empty and resets a full one to the start-up values.
void AdoptProbe(ImageHandle& handle, const ImageProbe& probe);
// ProbeImageFile, then AdoptProbe; true when a decoder accepted the file.
bool DecodeFromFile(const FileSystem& fs, ImageHandle& handle, const Text& path, ImageFormat format);
// The same on this machine's file system.
bool DecodeFromFile(ImageHandle& handle, const Text& path, ImageFormat format);
// Empties the handle; nothing on an empty handle.
void Free(ImageHandle& handle);
// A copy of the last error text; empty on an empty handle.
Text GetLastError(const ImageHandle& handle);

// Queries: the fields the last decode left; 0 on an empty handle.
std::int32_t GetWidth(const ImageHandle& handle);
std::int32_t GetHeight(const ImageHandle& handle);
std::int32_t GetXDPI(const ImageHandle& handle);
std::int32_t GetYDPI(const ImageHandle& handle);
std::uint32_t GetNumColors(const ImageHandle& handle);
std::uint8_t GetJpegQuality(const ImageHandle& handle);

}  // namespace quillmere::image
