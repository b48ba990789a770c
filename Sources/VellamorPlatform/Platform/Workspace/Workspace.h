#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace vellamor::platform {

// The desktop's file manager and default applications. Main thread only.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Asks the file manager to open a window with the file at `path`
    // selected. `done` runs later, on the main thread, with whether a file
    // manager took the request; it never runs after the workspace is gone.
    virtual void showInFileManager(const QString& path, std::function<void(bool shown)> done) = 0;

    // Opens `url` with the user's default application for it. `done`, when
    // set, runs later, on the main thread, with whether an application took
    // it; it never runs after the workspace is gone.
    virtual void openUrl(const QUrl& url, std::function<void(bool opened)> done) = 0;
};

} // namespace vellamor::platform
