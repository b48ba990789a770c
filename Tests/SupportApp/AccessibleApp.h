#pragma once

#include <QRect>
#include <QString>

#include <optional>

namespace vellamor::test {

// A running application's windows as an assistive tool sees them on the
// accessibility bus of scripts/desktop-session: how tests find and click
// the real app's controls by what they say, not by coordinates.
class AccessibleApp {
public:
    enum class Role { button, window, listItem };

    explicit AccessibleApp(qint64 processId);

    // Where the first object on screen with this role and name is, in
    // screen pixels; buttons only while they are enabled.
    std::optional<QRect> find(Role role, const QString& name) const;
    // The whole name of the first object on screen with this role whose name
    // begins with `start`: a painted list's row reads its details after
    // its title.
    std::optional<QString> nameStartingWith(Role role, const QString& start) const;
    // Waits up to 10 s for the button, then clicks its middle with the
    // mouse, as a user does; false when it never showed.
    bool click(const QString& button) const;
    // Runs the default action of the first showing object named `name` (a
    // button, a sidebar row), as a screen reader would; false when none shows.
    bool press(const QString& name) const;

private:
    qint64 processId_;
};

} // namespace vellamor::test
