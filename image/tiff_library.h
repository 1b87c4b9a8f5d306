#pragma once
// libtiff, loaded the first time a TIFF is decoded instead of at program
// start. With the libraries it pulls in (LERC, WebP, Zstandard, LZMA, JBIG,
// libdeflate) loading it takes about 2 ms, a sixth of the extractor's whole
// start-up, and many batches hold no TIFF at all.

#include <tiffio.h>

namespace quillmere::image {

// The libtiff functions the TIFF decoder calls.
struct TiffLibrary {
    decltype(&TIFFOpenOptionsAlloc) openOptionsAlloc;
    decltype(&TIFFOpenOptionsFree) openOptionsFree;
    decltype(&TIFFOpenOptionsSetMaxSingleMemAlloc) openOptionsSetMaxSingleMemAlloc;
    decltype(&TIFFOpenOptionsSetErrorHandlerExtR) openOptionsSetErrorHandlerExtR;
    decltype(&TIFFOpenOptionsSetWarningHandlerExtR) openOptionsSetWarningHandlerExtR;
    decltype(&TIFFClientOpenExt) clientOpenExt;
    decltype(&TIFFClose) close;
    decltype(&TIFFNumberOfDirectories) numberOfDirectories;
    decltype(&TIFFSetDirectory) setDirectory;
    decltype(&TIFFGetField) getField;
    decltype(&TIFFGetFieldDefaulted) getFieldDefaulted;
};

// libtiff, loaded on the first call from any thread; null when it cannot be
// loaded or lacks one of the functions, and then on every later call too.
const TiffLibrary* LoadTiffLibrary();

}  // namespace quillmere::image
