#pragma once
// Types text into a widget as an operator does: Latin letters as key
// presses, Chinese through the input method's committed text, which the
// platform hands only to widgets that take input-method text.

#include <QInputMethodEvent>
#include <QString>
#include <QTest>
#include <QWidget>

namespace quillmere::testing {

inline void TypeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, c.toLatin1());
        } else if (widget->testAttribute(Qt::WA_InputMethodEnabled)) {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QCoreApplication::sendEvent(widget, &commit);
        }
    }
}

}  // namespace quillmere::testing
