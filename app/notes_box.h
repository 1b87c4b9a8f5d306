#pragma once
// 编辑框1: a multi-line, read-only box whose lines are centred and never
// wrapped, with both scroll bars always shown. The program writes and
// appends its text; the operator can scroll, select and copy.

#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QString>

namespace quillmere::app {

class NotesBox final : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit NotesBox(QWidget* parent = nullptr);

    // Replaces the whole text.
    void setLines(const QString& text);
    // Adds text at the very end, collapses any selection there and scrolls
    // it into view. The operator cannot undo it.
    void appendLines(const QString& text);

protected:
    void changeEvent(QEvent* event) override;

private:
    void measure(const QString& text);
    void alignLines();

    QFontMetricsF metrics_;
    qreal widestLine_ = 0;
};

}  // namespace quillmere::app
