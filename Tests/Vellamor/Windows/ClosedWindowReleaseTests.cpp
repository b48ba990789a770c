#include "ManualSteadyClock.h"
#include "WidgetRendering.h"

#include "Windows/ClosedWindowRelease.h"
#include "Windows/FreedMemory.h"

#include <QLabel>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

// Steps: 's' show, 'c' close, a digit d: d seconds pass.
TEST(ClosedWindowReleaseTest, ReleasesOnlyAWindowThatStayedClosedForTheWholeDelay)
{
    struct Case {
        const char* steps;
        int released;
    };
    const Case cases[] = {
        {"s", 0},     {"sc4", 0},     {"sc5", 1},   {"sc55", 1},
        {"sc4s5", 0}, {"sc4s1c4", 0}, {"sc4sc5", 1}, {"c9", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        ManualSteadyClock clock;
        QWidget window;
        int released = 0;
        ClosedWindowRelease release(clock.sleeper(), [&] { ++released; });
        release.watch(&window);
        for (const char step : std::string(c.steps)) {
            if (step == 's')
                window.show();
            else if (step == 'c')
                window.close();
            else
                clock.advance(std::chrono::seconds(step - '0'));
            settleWidgets();
        }
        EXPECT_EQ(released, c.released);
    }
}

// With nothing on screen the font engines go; text drawn later must not suffer.
TEST(FreedMemoryTest, TextDrawnAfterTheFontEnginesWentLooksTheSame)
{
    QLabel label(QStringLiteral("今天下午三点开会 Vellamor 123"));
    label.resize(label.sizeHint());
    const QImage before = label.grab().toImage();
    returnFreedMemory();
    EXPECT_EQ(label.grab().toImage(), before);
}

} // namespace
} // namespace vellamor::test
