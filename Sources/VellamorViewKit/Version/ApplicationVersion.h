#pragma once

#include <QString>

namespace vellamor {

// The application's version as users and support see it: the release
// ("0.1.0") and the build that made it ("57"), shown together as
// "0.1.0 (57)".
struct ApplicationVersion {
    QString shortVersion;
    QString build;

    // "0.1.0 (57)".
    QString text() const;

    // What this binary was built as.
    static ApplicationVersion compiled();
    // Makes compiled() the running application's version, where current()
    // and Qt's own users (QCommandLineParser, the window system) find it.
    static void install();
    // The running application's version; "dev" and "0" for what was never
    // installed, as in tests.
    static ApplicationVersion current();

    friend bool operator==(const ApplicationVersion&, const ApplicationVersion&) = default;
};

} // namespace vellamor
