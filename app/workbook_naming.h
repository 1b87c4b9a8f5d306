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

// The workbook's path for a run started at `at` (local time). When a file of
// that name exists already, as after two runs in one second, "-2", "-3", ...
// is added before the extension so no earlier workbook is overwritten.
QString WorkbookPath(const QString& outputFolder, const Text& imageFolder, const QDateTime& at);

}  // namespace quillmere::app
