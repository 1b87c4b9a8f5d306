#include "app/window_scale.h"

#include <algorithm>
#include <cmath>

namespace quillmere::app {

namespace {

int Scaled(int value, double scale) { return static_cast<int>(std::lround(value * scale)); }

}  // namespace

double FitScale(QSize client, QSize frame, QSize available) {
    const QSize outer = client + frame;
    if (outer.width() <= 0 || outer.height() <= 0 || available.width() <= 0 || available.height() <= 0) return 1.0;
    const double across = static_cast<double>(available.width()) / outer.width();
    const double down = static_cast<double>(available.height()) / outer.height();
    return std::min({1.0, across, down});
}

QRect ScaledRect(const QRect& rect, double scale) {
    if (scale == 1.0) return rect;
    const int left = Scaled(rect.left(), scale);
    const int top = Scaled(rect.top(), scale);
    return QRect(left, top, Scaled(rect.left() + rect.width(), scale) - left,
                 Scaled(rect.top() + rect.height(), scale) - top);
}

QSize ScaledSize(QSize size, double scale) {
    if (scale == 1.0) return size;
    return QSize(Scaled(size.width(), scale), Scaled(size.height(), scale));
}

}  // namespace quillmere::app
