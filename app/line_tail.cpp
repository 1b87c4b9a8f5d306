#include "app/line_tail.h"

namespace quillmere::app {

LineTail::LineTail(int maxLines) : maxLines_(maxLines < 1 ? 1 : maxLines) {}

void LineTail::append(const QString& text) {
    text_ += text;
    lineBreaks_ += text.count(QLatin1Char('\n'));
    // Trimming only once twice the bound has gathered keeps the cost of an
    // append constant on average.
    if (lineBreaks_ > 2 * static_cast<qsizetype>(maxLines_)) dropOldest(maxLines_);
}

QString LineTail::take() {
    if (lineBreaks_ > maxLines_) dropOldest(maxLines_);
    QString taken = std::move(text_);
    text_.clear();
    lineBreaks_ = 0;
    return taken;
}

// Drops whole lines from the front until keep line breaks are left.
void LineTail::dropOldest(qsizetype keep) {
    qsizetype drop = lineBreaks_ - keep;
    qsizetype cut = 0;
    while (drop > 0) {
        cut = text_.indexOf(QLatin1Char('\n'), cut) + 1;
        --drop;
    }
    text_.remove(0, cut);
    lineBreaks_ = keep;
}

}  // namespace quillmere::app
