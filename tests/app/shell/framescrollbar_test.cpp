#include "app/shell/framescrollbar.h"

#include <QApplication>
#include <QEvent>
#include <QTest>

#include <gtest/gtest.h>

using shell::FrameScrollBar;

namespace {

// Counts the paints a widget receives and remembers the value each one showed.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(FrameScrollBar *bar) : m_bar(bar) { bar->installEventFilter(this); }
    int paints = 0;
    int lastValue = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == m_bar && event->type() == QEvent::Paint) {
            ++paints;
            lastValue = m_bar->value();
        }
        return false;
    }

private:
    FrameScrollBar *m_bar;
};

// A shown bar of the main window's width, just painted.
void showPainted(FrameScrollBar &bar, int maximum) {
    bar.resize(380, 17);
    bar.setRange(0, maximum);
    bar.show();
    bar.repaint();
}

} // namespace

TEST(FrameScrollBar, BurstsOfValuesRepaintOnceAndEndOnTheLastValue) {
    FrameScrollBar bar(Qt::Horizontal);
    showPainted(bar, 1000); // the last paint was just now
    PaintCounter counter(&bar);

    int signalled = 0;
    QObject::connect(&bar, &QScrollBar::valueChanged, [&signalled] { ++signalled; });
    for (int v = 1; v <= 50; ++v) {
        bar.setValue(v);
        QApplication::processEvents(); // what the play loop does between frames
    }
    // Values and their signals are never held back, only the picture.
    EXPECT_EQ(bar.value(), 50);
    EXPECT_EQ(signalled, 50);
    EXPECT_LT(counter.paints, 50);

    // The deferred repaint comes, and it shows the last value.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !bar.repaintPending() && counter.lastValue == 50; }, 2000));
}

TEST(FrameScrollBar, AChangeAfterAQuietSpellRepaintsAtOnce) {
    FrameScrollBar bar(Qt::Horizontal);
    showPainted(bar, 100);
    QTest::qWait(3 * FrameScrollBar::kRepaintIntervalMs);
    PaintCounter counter(&bar);
    bar.setValue(7);
    EXPECT_FALSE(bar.repaintPending());
    QApplication::processEvents(); // the ordinary update, without a timer in between
    EXPECT_GE(counter.paints, 1);
    EXPECT_EQ(counter.lastValue, 7);
}

TEST(FrameScrollBar, RangeChangesAreNeverDeferred) {
    FrameScrollBar bar(Qt::Horizontal);
    showPainted(bar, 100);
    bar.setRange(0, 10);
    EXPECT_FALSE(bar.repaintPending());
}
