#pragma once
// The image object and the library commands the workflow uses on it.
//
// Every DecodeFromFile starts from the Startup defaults, so nothing of an
// earlier file survives into the next one: a file no decoder accepts reports
// width 0, height 0, 96 dpi, colour count 0 and quality 90. Decoders read
// headers and tables only; no pixel data is decoded or allocated.

#include <cstdint>
#include <memory>
#include <span>

#include "image/image_properties.h"
#include "runtime/text.h"

namespace quillmere::image {

// Format codes; the same numbers select a decoder.
enum class ImageFormat : std::int32_t {
    Unknown = 0, Bmp = 1, Gif = 2, Jpg = 3, Png = 4, Ico = 5, Tif = 6, Tga = 7, Pcx = 8,
    Wbmp = 9, Wmf = 10, Jp2 = 11, Jpc = 12, Pgx = 13, Pnm = 14, Ras = 15,
};

class ImageObject;

// The caller's reference to an image object: empty until the first decode,
// empty again after Free.
class ImageHandle {
public:
    ImageHandle();
    ~ImageHandle();
    ImageHandle(ImageHandle&&) noexcept;
    ImageHandle& operator=(ImageHandle&&) noexcept;

    bool empty() const noexcept { return object_ == nullptr; }

private:
    friend void Free(ImageHandle&);
    friend void AdoptProbe(ImageHandle&, const ImageProbe&);
    friend const ImageObject* ObjectOf(const ImageHandle&);
    std::unique_ptr<ImageObject> object_;
};

// Decodes the file's headers into the handle's object (creating it first).
// A path shorter than 4 bytes returns false and leaves the handle alone.
bool DecodeFromFile(ImageHandle& handle, const Text& path, std::int32_t format);
// Destroys the object and empties the handle; nothing on an empty handle.
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

// The same decode as DecodeFromFile, as a value: safe to run on any thread,
// touches nothing shared. Used to prepare files ahead of the row writer.
ImageProbe ProbeImageFile(const Text& path, std::int32_t format);
// ProbeImageFile for a path the caller has just found to be a regular file
// of size bytes, without reading its status a second time.
ImageProbe ProbeRegularFile(const Text& path, std::int32_t format, std::int64_t size);
// The same decode over bytes already in memory: what ProbeImageFile does
// once the file is open (there is no path, so no length rule applies).
ImageProbe ProbeImageBytes(std::span<const unsigned char> bytes, std::int32_t format);
// Puts a probe made elsewhere into the handle, exactly as if DecodeFromFile
// had produced it (a too-short path leaves the handle alone, as there).
void AdoptProbe(ImageHandle& handle, const ImageProbe& probe);

}  // namespace quillmere::image
