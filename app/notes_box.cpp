#include "app/notes_box.h"

#include <QEvent>
#include <QStringView>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>

namespace quillmere::app {

NotesBox::NotesBox(QWidget* parent) : QPlainTextEdit(parent), metrics_(font()) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::NoWrap);
    document()->setDefaultTextOption(option);
    // The program appends one line per file; none of that is for undo.
    document()->setUndoRedoEnabled(false);
    // The box shows the window's own colour, so the window may paint it.
    // A viewport that does not fill itself is scrolled by marking it for the
    // next paint rather than by moving its pixels on every appended line.
    viewport()->setAutoFillBackground(false);
}

void NotesBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) metrics_ = QFontMetricsF(font());
    QPlainTextEdit::changeEvent(event);
}

void NotesBox::setLines(const QString& text) {
    widestLine_ = 0;
    measure(text);
    alignLines();
    setPlainText(text);
}

void NotesBox::appendLines(const QString& text) {
    measure(text);
    alignLines();
    // The box's own cursor, when it sits at the end with nothing selected,
    // moves along with text inserted there; only a cursor the operator moved
    // needs setting, which is the slow path.
    const QTextCursor own = textCursor();
    const bool ownAtEnd = !own.hasSelection() && own.atEnd();
    QTextDocument& doc = *document();
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    QTextCursor cursor(&doc);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    doc.setUndoRedoEnabled(undo);
    if (!ownAtEnd) setTextCursor(cursor);
    ensureCursorVisible();
}

// Only the new text is measured, so appending costs the same however many
// lines the box holds already. (The first new line continues the box's last
// one; measuring it alone is close enough for the alignment choice.)
void NotesBox::measure(const QString& text) {
    const QFontMetricsF& metrics = metrics_;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (!line.isEmpty()) widestLine_ = std::max(widestLine_, metrics.horizontalAdvance(line.toString()));
    }
}

// A centred line wider than the box would begin left of its edge, where no
// scrolling reaches. While such a line is shown, every line starts at the
// left edge instead; they are centred again once the text is replaced.
void NotesBox::alignLines() {
    const qreal room = maximumViewportSize().width() - 2 * document()->documentMargin();
    const Qt::Alignment wanted = widestLine_ <= room ? Qt::AlignHCenter : Qt::AlignLeft;
    QTextOption option = document()->defaultTextOption();
    if (option.alignment() == wanted) return;
    option.setAlignment(wanted);
    document()->setDefaultTextOption(option);
}

}  // namespace quillmere::app
