#pragma once

#include "Platform/Workspace/Workspace.h"

#include <QList>
#include <QStringList>

namespace vellamor::test {

// A desktop whose file manager takes requests or not, as told; records every
// request and every URL opened.
class FakeWorkspace final : public platform::Workspace {
public:
    void showInFileManager(const QString& path, std::function<void(bool shown)> done) override
    {
        shownFiles << path;
        done(fileManagerTakesRequests);
    }

    void openUrl(const QUrl& url, std::function<void(bool opened)> done) override
    {
        openedUrls << url;
        if (done)
            done(opens);
    }

    bool fileManagerTakesRequests = true;
    bool opens = true;
    QStringList shownFiles;
    QList<QUrl> openedUrls;
};

} // namespace vellamor::test
