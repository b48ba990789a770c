#pragma once

#include "Overlay/ScreenLayout.h"

class QScreen;

namespace vellamor {

// The screens as the application's platform reports them.
class QtScreenLayout final : public ScreenLayout {
    Q_OBJECT

public:
    explicit QtScreenLayout(QObject* parent = nullptr);

    QList<Screen> screens() const override;
    QPoint pointer() const override;
    std::optional<Screen> focusWindowScreen() const override;
    std::optional<Screen> primaryScreen() const override;

private:
    void watch(QScreen* screen);
};

} // namespace vellamor
