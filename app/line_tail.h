#pragma once
// Text appended faster than it can be shown: it is gathered here until the
// box takes it, and only the newest lines are kept, so a run of a million
// files holds a few thousand lines however long it goes.

#include <QString>

namespace quillmere::app {

class LineTail {
public:
    // Keeps at least the newest maxLines lines (a line ends in '\n'; text
    // after the last '\n' is the start of the next one).
    explicit LineTail(int maxLines);

    void append(const QString& text);
    // What was gathered, the newest maxLines lines at most, and empties it.
    QString take();

    bool isEmpty() const { return text_.isEmpty(); }
    // True when the lines gathered alone fill the bound: whatever the box
    // showed before would be pushed out by them.
    bool fillsBound() const { return lineBreaks_ >= maxLines_; }

private:
    void dropOldest(qsizetype keep);

    int maxLines_;
    QString text_;
    qsizetype lineBreaks_ = 0;
};

}  // namespace quillmere::app
