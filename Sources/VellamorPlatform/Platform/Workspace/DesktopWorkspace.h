#pragma once

#include "Platform/Workspace/Workspace.h"

#include <QObject>

namespace vellamor::platform {

// The file manager through the freedesktop.org FileManager1 interface on the
// session bus (Nautilus, Dolphin, Nemo, Thunar and others serve it), URLs
// through the desktop's opener (xdg-open and the portal, by Qt).
class DesktopWorkspace final : public QObject, public Workspace {
public:
    explicit DesktopWorkspace(QObject* parent = nullptr);

    void showInFileManager(const QString& path, std::function<void(bool shown)> done) override;
    void openUrl(const QUrl& url, std::function<void(bool opened)> done) override;
};

} // namespace vellamor::platform
