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

    bool openUrl(const QUrl& url) override
    {
        openedUrls << url;
        return opens;
    }

    bool fileManagerTakesRequests = true;
    bool opens = true;
    QStringList shownFiles;
    QList<QUrl> openedUrls;
};

} // namespace vellamor::test
