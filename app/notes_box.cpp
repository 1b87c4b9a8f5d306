#include "app/notes_box.h"

#include <QEvent>
#include <QScrollBar>
#include <QStringView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>
#include <chrono>

namespace quillmere::app {

namespace {

constexpr std::chrono::milliseconds kFrameInterval{16};

}  // namespace

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
    frame_.setSingleShot(true);
    frame_.setTimerType(Qt::PreciseTimer);
    connect(&frame_, &QTimer::timeout, this, &NotesBox::showAppended);
}

void NotesBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        metrics_ = QFontMetricsF(font());
        advances_.clear();
    }
    QPlainTextEdit::changeEvent(event);
}

void NotesBox::setLines(const QString& text) {
    appended_.take();
    frame_.stop();
    widestLine_ = 0;
    measure(text);
    alignLines();
    setPlainText(text);
}

// Laying out and scrolling for every line of a run would cost more than
// the run itself; the lines gather and are shown together once a frame.
void NotesBox::appendLines(const QString& text) {
    appended_.append(text);
    if (!frame_.isActive()) frame_.start(kFrameInterval);
}

QString NotesBox::text() {
    showAppended();
    return toPlainText();
}

void NotesBox::showAppended() {
    frame_.stop();
    if (appended_.isEmpty()) return;
    const bool replacesAll = appended_.fillsBound();
    const QString text = appended_.take();
    measure(text);
    alignLines();
    // The box's own cursor, when it sits at the end with nothing selected,
    // moves along with text inserted there; only a cursor the operator moved
    // needs setting, which is the slow path.
    const QTextCursor own = textCursor();
    const bool ownAtEnd = !own.hasSelection() && own.atEnd() && !replacesAll;
    QTextDocument& doc = *document();
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    QTextCursor cursor(&doc);
    if (replacesAll) {
        // What the box held would all be pushed out by these lines.
        cursor.select(QTextCursor::Document);
    } else {
        cursor.movePosition(QTextCursor::End);
    }
    cursor.insertText(text);
    dropOldestLines();
    doc.setUndoRedoEnabled(undo);
    if (!ownAtEnd) setTextCursor(cursor);
    scrollToEnd();
}

// The box keeps the newest kKeptLines lines and the one being written after
// them. (The document's own block limit lays out every line it removes,
// which costs as much as the run; removing them by position does not.)
void NotesBox::dropOldestLines() {
    QTextDocument& doc = *document();
    const int excess = doc.blockCount() - (kKeptLines + 1);
    if (excess <= 0) return;
    QTextCursor cursor(&doc);
    cursor.setPosition(doc.findBlockByNumber(excess).position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

// The caret is made visible, which scrolls sideways to it; then the box is
// scrolled to its very end. Making the caret visible alone stops as soon as
// the caret's line fits in the viewport, which, depending on how the line
// height divides the viewport's, can be one line short of the end.
void NotesBox::scrollToEnd() {
    ensureCursorVisible();
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}

// Only the new text is measured, so appending costs the same however many
// lines the box holds already. (The first new line continues the box's last
// one; measuring it alone is close enough for the alignment choice.) Once
// one line is too wide nothing more can change the choice until the text is
// replaced.
void NotesBox::measure(const QString& text) {
    const qreal space = room();
    if (widestLine_ > space) return;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        widestLine_ = std::max(widestLine_, lineWidth(line));
        if (widestLine_ > space) return;
    }
}

// A line's width as the sum of its characters' advances, each measured once:
// shaping every line of a run would cost more than the run. Paths have no
// ligatures; kerning makes the sum at most a little wide, which only errs
// towards the left alignment that every line can be scrolled to.
qreal NotesBox::lineWidth(QStringView line) {
    qreal width = 0;
    for (const QChar character : line) {
        if (character.isSurrogate()) return metrics_.horizontalAdvance(line.toString());
        auto [known, added] = advances_.try_emplace(character.unicode(), 0);
        if (added) known->second = metrics_.horizontalAdvance(character);
        width += known->second;
    }
    return width;
}

qreal NotesBox::room() const { return maximumViewportSize().width() - 2 * document()->documentMargin(); }

// A centred line wider than the box would begin left of its edge, where no
// scrolling reaches. While such a line is shown, every line starts at the
// left edge instead; they are centred again once the text is replaced.
void NotesBox::alignLines() {
    const Qt::Alignment wanted = widestLine_ <= room() ? Qt::AlignHCenter : Qt::AlignLeft;
    QTextOption option = document()->defaultTextOption();
    if (option.alignment() == wanted) return;
    option.setAlignment(wanted);
    document()->setDefaultTextOption(option);
}

}  // namespace quillmere::app
