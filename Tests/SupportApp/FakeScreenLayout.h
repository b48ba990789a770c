#pragma once

#include "Overlay/ScreenLayout.h"

namespace vellamor::test {

// Screens and a pointer the test sets; it emits changed() itself.
class FakeScreenLayout final : public ScreenLayout {
public:
    QList<Screen> screens() const override { return screenList; }
    QPoint pointer() const override { return pointerAt; }
    std::optional<Screen> focusWindowScreen() const override { return focused; }
    std::optional<Screen> primaryScreen() const override { return primary; }

    QList<Screen> screenList;
    QPoint pointerAt;
    std::optional<Screen> focused;
    std::optional<Screen> primary;
};

} // namespace vellamor::test
