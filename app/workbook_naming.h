#pragma once
// Where the window program saves a run's workbook:
// <output folder>/<image folder name>-元数据-<yyyyMMdd-HHmmss>.xlsx.

#include <QDateTime>
#include <QString>

#include "runtime/text.h"

namespace quillmere::app {

// <Documents>/Quillmere, or <home>/Quillmere where there is no documents folder.
QString DefaultWorkbookFolder();

// The last name of the image folder path ("根目录" for the root itself).
QString ImageFolderName(const Text& imageFolder);

// The workbook's path for a run started at `at` (local time), without its
// extension; saved with ".xlsx", or "-2.xlsx", "-3.xlsx", … when an earlier
// run of the same second took the name. The image folder's name is
// shortened (at a character boundary) so that any of those names fits a
// file name.
QString WorkbookStem(const QString& outputFolder, const Text& imageFolder, const QDateTime& at);

}  // namespace quillmere::app
