#include "app/workbook_naming.h"

#include <QDir>
#include <QFileInfo>
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

QString WorkbookPath(const QString& outputFolder, const Text& imageFolder, const QDateTime& at) {
    const QString stem = outputFolder + QLatin1Char('/') + ImageFolderName(imageFolder) + QStringLiteral("-元数据-") +
                         at.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString extension = QStringLiteral(".xlsx");
    QString path = stem + extension;
    for (int copy = 2; QFileInfo::exists(path); ++copy) {
        path = stem + QLatin1Char('-') + QString::number(copy) + extension;
    }
    return path;
}

}  // namespace quillmere::app
