#include "app/workbook_naming.h"

#include <QDir>
#include <QStandardPaths>

#include "runtime/text_encoding.h"
#include "sheet/staged_file.h"

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
    const QByteArray tail = (QStringLiteral("-元数据-") + at.toString(QStringLiteral("yyyyMMdd-HHmmss"))).toUtf8();
    // Room for the longest copy number and extension (".xlsx", or ".sha256"
    // of a file saved beside it, with some to spare), so that every name
    // the save may take fits a file name.
    constexpr std::size_t kLongestExtension = 10;
    const std::size_t reserved = std::to_string(sheet::StagedFile::kMostCopies).size() + 1 + kLongestExtension;
    const qsizetype room = static_cast<qsizetype>(sheet::kLongestFileName - reserved) - tail.size();
    QByteArray folderName = ImageFolderName(imageFolder).toUtf8();
    if (folderName.size() > room) {
        qsizetype kept = room;
        while (kept > 0 && (static_cast<unsigned char>(folderName[kept]) & 0xC0) == 0x80) --kept;
        folderName.truncate(kept);
    }
    return outputFolder + QLatin1Char('/') + QString::fromUtf8(folderName + tail);
}

}  // namespace quillmere::app
