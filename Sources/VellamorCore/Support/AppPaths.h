#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// The one place that decides where the application keeps its files on disk,
// following the XDG base-directory rules. Every function reads the
// environment when it is called, so a changed HOME or XDG variable takes
// effect at once. A location is none only when it cannot be derived at all:
// its XDG variable is unusable and there is no HOME.
class AppPaths {
public:
    // $XDG_STATE_HOME/vellamor, default ~/.local/state/vellamor.
    static std::optional<QString> logDirectory();
    // logDirectory() + "/vellamor.log".
    static std::optional<QString> logFile();
    // $XDG_DATA_HOME/vellamor, default ~/.local/share/vellamor.
    static std::optional<QString> applicationSupportDirectory();
    // $XDG_CONFIG_HOME/vellamor, default ~/.config/vellamor.
    static std::optional<QString> configDirectory();

    // Where the running instance listens for the others:
    // $XDG_RUNTIME_DIR/com.vellamor.app.sock; without a usable runtime folder,
    // a per-user name in the temporary folder.
    static QString singleInstanceSocket();

    // The user's home folder from HOME; none when unset, empty or relative.
    static std::optional<QString> homeDirectory();

private:
    static std::optional<QString> baseDirectory(const char* variable, const QString& homeRelativeDefault);
};

} // namespace vellamor
