#include "app/shell/layout.h"

#include <algorithm>
#include <cmath>

namespace shell {

namespace {

// Property assignments took fractional pixels and kept the nearest one, halves to even.
int nearest(double value) {
    return static_cast<int>(std::nearbyint(value));
}

int nonNegative(int value) {
    return std::max(value, 0);
}

} // namespace

QSize minimumOuterSize(int tpx, int tpy) {
    tpx = std::max(tpx, 1);
    tpy = std::max(tpy, 1);
    return {(kMinOuterWidthTwips + tpx - 1) / tpx, (kMinOuterHeightTwips + tpy - 1) / tpy};
}

QSize clampOuterSize(QSize outer, int tpx, int tpy) {
    const QSize minimum = minimumOuterSize(tpx, tpy);
    return {std::max(outer.width(), minimum.width()), std::max(outer.height(), minimum.height())};
}

MainLayout layoutMainWindow(QSize inner, QSize magnifier) {
    MainLayout l;
    const int innerWidth = nonNegative(inner.width());
    const int innerHeight = nonNegative(inner.height());

    l.fraVideo = QRect(8, 32, nearest(0.77 * innerWidth), nonNegative(innerHeight - 61));
    l.qvxVideo = QRect(l.fraVideo.left() + 8, l.fraVideo.top() + 16,
                       nonNegative(l.fraVideo.width() - 17), nonNegative(l.fraVideo.height() - 25));
    // QRect::right() is left + width - 1; the rule means the left edge plus the width.
    l.fraRight = QRect(l.fraVideo.left() + l.fraVideo.width() + 7, 32, nearest(0.21 * innerWidth),
                       l.fraVideo.height());

    l.imgLupe = QRect(QPoint(8, 16), magnifier);
    l.lvwPoints =
        QRect(8, l.imgLupe.top() + l.imgLupe.height() + 8, nonNegative(l.fraRight.width() - 16),
              nonNegative(l.fraRight.height() - 36 - l.imgLupe.height()));
    return l;
}

} // namespace shell
