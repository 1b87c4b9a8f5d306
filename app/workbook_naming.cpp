#include "app/workbook_naming.h"

#include <QDir>
#include <QStandardPaths>

#include "runtime/text_encoding.h"

namespace quillmere::app {

QString DefaultWorkbookFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (base.isEmpty()) base = QDir::homePath();
    return base + QStringLiteral("/Quillmere");
}

QString ImageFolderName(const Text& imageFolder) {
    const QStringList parts = QString::fromStdString(TextToUtf8(imageFolder)).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.isEmpty() ? QStringLiteral("根目录") : parts.last();
}

QString WorkbookStem(const QString& outputFolder, const Text& imageFolder, const QDateTime& at) {
    return outputFolder + QLatin1Char('/') + ImageFolderName(imageFolder) + QStringLiteral("-元数据-") +
           at.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

}  // namespace quillmere::app
