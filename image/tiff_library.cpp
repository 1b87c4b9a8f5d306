#include "image/tiff_library.h"

#include <dlfcn.h>

#include <optional>

namespace quillmere::image {

namespace {

// Resolves name into slot; false when the library lacks it.
template <typename Function>
bool Resolve(void* library, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(dlsym(library, name));
    return slot != nullptr;
}

std::optional<TiffLibrary> Load() {
    // The name the build linked against, so the functions match the header.
    void* library = dlopen(QUILLMERE_LIBTIFF_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return std::nullopt;
    TiffLibrary functions{};
    const bool complete =
        Resolve(library, "TIFFOpenOptionsAlloc", functions.openOptionsAlloc) &&
        Resolve(library, "TIFFOpenOptionsFree", functions.openOptionsFree) &&
        Resolve(library, "TIFFOpenOptionsSetMaxSingleMemAlloc", functions.openOptionsSetMaxSingleMemAlloc) &&
        Resolve(library, "TIFFOpenOptionsSetErrorHandlerExtR", functions.openOptionsSetErrorHandlerExtR) &&
        Resolve(library, "TIFFOpenOptionsSetWarningHandlerExtR", functions.openOptionsSetWarningHandlerExtR) &&
        Resolve(library, "TIFFClientOpenExt", functions.clientOpenExt) &&
        Resolve(library, "TIFFClose", functions.close) &&
        Resolve(library, "TIFFNumberOfDirectories", functions.numberOfDirectories) &&
        Resolve(library, "TIFFSetDirectory", functions.setDirectory) &&
        Resolve(library, "TIFFGetField", functions.getField) &&
        Resolve(library, "TIFFGetFieldDefaulted", functions.getFieldDefaulted);
    // The library stays loaded for the life of the program: the functions
    // above point into it.
    if (!complete) return std::nullopt;
    return functions;
}

}  // namespace

const TiffLibrary* LoadTiffLibrary() {
    // Loaded once, by whichever thread asks first; read-only from then on.
    static const std::optional<TiffLibrary> library = Load();
    return library ? &*library : nullptr;
}

}  // namespace quillmere::image
