#pragma once
// 编辑框1: a multi-line, read-only box whose lines are centred and never
// wrapped, with both scroll bars always shown. The program writes and
// appends its text; the operator can scroll, select and copy. Appended
// lines are shown once a frame, and the box keeps the newest
// kKeptLines of them: a run appends one line per file, a million of them.

#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QString>
#include <QTimer>

#include <unordered_map>

#include "app/line_tail.h"

namespace quillmere::app {

class NotesBox final : public QPlainTextEdit {
    Q_OBJECT

public:
    static constexpr int kKeptLines = 5000;

    explicit NotesBox(QWidget* parent = nullptr);

    // Replaces the whole text; lines appended but not yet shown are dropped.
    void setLines(const QString& text);
    // Adds text at the very end; within a frame it is shown there, any
    // selection collapsed at the end and the newest line scrolled into view.
    // The operator cannot undo it.
    void appendLines(const QString& text);
    // The text as it is once everything appended is shown.
    QString text();
    // Shows what was appended since the last frame now.
    void showAppended();

protected:
    void changeEvent(QEvent* event) override;

private:
    void measure(const QString& text);
    qreal lineWidth(QStringView line);
    void dropOldestLines();
    void alignLines();
    qreal room() const;
    void scrollToEnd();

    QFontMetricsF metrics_;
    // Advance of each character met so far in this font.
    std::unordered_map<char16_t, qreal> advances_;
    qreal widestLine_ = 0;
    LineTail appended_{kKeptLines};
    QTimer frame_;
};

}  // namespace quillmere::app
