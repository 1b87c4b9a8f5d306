#pragma once
// SIGINT and SIGTERM in the extractor: stop, save nothing, leave nothing.
//
// While rows are being written the first signal only asks the run to stop
// after the current file; the run then discards its workbook and main
// reports it. Anywhere else (the scan, creating the workbook, a second
// signal, the save itself) the handler removes the registered temporary
// files at once, writes its one line and ends the process with 128 + the
// signal, so the output name keeps whatever it held before.
//
// The one race a save has is its final rename: once the workbook stands
// under its name the save cannot be taken back, so a signal arriving then
// is noted and the program finishes as saved. The handler tells by looking
// at the output name, which it compares with what was there when the save
// began. Worker threads block these signals, so the handler runs on the
// run's own thread and never beside the rename.
//
// The state below is the process's: one extractor, one run.

#include <cstdint>
#include <string>

namespace quillmere::cli {

// Installs the handlers for SIGINT and SIGTERM. 0, or the errno of the
// sigaction that failed (the run must not start then: a signal would end it
// without its line and leave its files behind).
int InstallInterruptionHandlers();

// Rows are being written: a signal asks the run to stop after this file.
void EnterWritingPhase();
// Every row is written; output is about to be saved. Records what the
// output name holds now. lineOnScreen: a progress line stands unfinished on
// standard error, so the handler's line must start a line of its own.
void EnterSavingPhase(const std::string& output, bool lineOnScreen = false);
// The run has returned: a signal now changes nothing.
void EnterFinishedPhase();

// Rows written so far, for the handler's line.
void CountRowsWritten(std::int64_t rows);

// The signal that asked the run to stop, or 0.
int StopSignal();
// The signal that came after the workbook was saved, or 0.
int LateSignal();

// The line the program ends with when interrupted, without the newline.
std::string InterruptedLine(int signal, std::int64_t rows);
// Why a saved workbook is kept although a signal came: it came too late.
std::string LateSignalLine(int signal);

}  // namespace quillmere::cli
