#pragma once
// Fitting the fixed layout onto a small screen: the control table is laid
// out for its own size, and where the screen's free area (after panels) is
// smaller than the window with its frame, the whole layout is drawn smaller
// by one factor, never larger.

#include <QRect>
#include <QSize>

namespace quillmere::app {

// Room the window manager's title bar and border take around the client
// area; allowed for before the window is shown and the frame is known.
inline constexpr QSize kFrameAllowance{16, 48};

// The factor, at most 1, by which the client area plus frame fits into
// available.
double FitScale(QSize client, QSize frame, QSize available);

// A rectangle of the table at that scale. Edges are scaled, not sizes, so
// controls that touch in the table touch when scaled.
QRect ScaledRect(const QRect& rect, double scale);
QSize ScaledSize(QSize size, double scale);

}  // namespace quillmere::app
