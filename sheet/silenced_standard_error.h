#pragma once
// Points file descriptor 2 at /dev/null for the lifetime of the object.
//
// libxlsxwriter reports file errors by printing "[ERROR][...]" lines to
// standard error and then returning a code; the code is what this program
// reports, in its own words, so the lines must not reach the terminal.
// The library cannot be told to be quiet, so its calls that can print
// (starting a workbook or a sheet, and the save) run inside one of these.
// Descriptor 2 is process-wide: nothing else may print meanwhile, which
// holds because rows are written and the workbook saved by the one thread
// that also does this program's own printing.

namespace quillmere::sheet {

class SilencedStandardError {
public:
    SilencedStandardError() noexcept;
    ~SilencedStandardError();
    SilencedStandardError(const SilencedStandardError&) = delete;
    SilencedStandardError& operator=(const SilencedStandardError&) = delete;

private:
    int saved_ = -1;
};

}  // namespace quillmere::sheet
