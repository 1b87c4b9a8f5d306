// quillmere: the window program.

#include <QApplication>

#include "app/extraction_session.h"
#include "app/qt_translations.h"
#include "app/ui_dialogs.h"
#include "app/window_program.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    const quillmere::app::QtTranslations translations(QLocale::system());
    quillmere::app::QtUiDialogs dialogs;
    return quillmere::app::RunWindowProgram(dialogs, quillmere::app::ProgramServices());
}
