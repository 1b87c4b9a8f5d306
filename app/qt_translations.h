#pragma once
// Qt's own texts (the buttons of a message box, the folder chooser) in the
// operator's language: Qt's translation catalogue for a locale, installed
// for as long as this object lives.

#include <QLocale>
#include <QString>
#include <QTranslator>

namespace quillmere::app {

class QtTranslations {
public:
    // Installs Qt's catalogue for the locale's languages from the folder,
    // by default the one Qt's translations are installed in. A locale with
    // no catalogue (English) installs nothing.
    explicit QtTranslations(const QLocale& locale, const QString& folder = DefaultFolder());
    ~QtTranslations();
    QtTranslations(const QtTranslations&) = delete;
    QtTranslations& operator=(const QtTranslations&) = delete;

    bool installed() const { return installed_; }

    static QString DefaultFolder();

private:
    QTranslator translator_;
    bool installed_ = false;
};

}  // namespace quillmere::app
