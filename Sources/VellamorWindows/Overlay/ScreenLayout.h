#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>

#include <optional>

namespace vellamor {

// The screens the overlay can appear on and the pointer, in the window
// system's coordinates. Main thread only.
class ScreenLayout : public QObject {
    Q_OBJECT

public:
    struct Screen {
        QRect geometry;
        // Without the desktop's panels and docks.
        QRect available;

        friend bool operator==(const Screen&, const Screen&) = default;
    };

    using QObject::QObject;

    // In the window system's order.
    virtual QList<Screen> screens() const = 0;
    virtual QPoint pointer() const = 0;
    // The screen of this application's focused window.
    virtual std::optional<Screen> focusWindowScreen() const = 0;
    virtual std::optional<Screen> primaryScreen() const = 0;

Q_SIGNALS:
    // A screen came or went, or one changed its size, position or available area.
    void changed();
};

} // namespace vellamor
