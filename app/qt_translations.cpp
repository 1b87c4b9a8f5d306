#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace quillmere::app {

QtTranslations::QtTranslations(const QLocale& locale, const QString& folder) {
    // qtbase holds every text of the widgets this program shows.
    if (translator_.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        installed_ = QCoreApplication::installTranslator(&translator_);
    }
}

QtTranslations::~QtTranslations() {
    if (installed_) QCoreApplication::removeTranslator(&translator_);
}

QString QtTranslations::DefaultFolder() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

}  // namespace quillmere::app
