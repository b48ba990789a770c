#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace vellamor::platform {

// A command that opens one page of a desktop's settings.
struct SettingsCommand {
    QString program;
    QStringList arguments;

    friend bool operator==(const SettingsCommand&, const SettingsCommand&) = default;
};

// Where each privacy page lives on the desktops we know, in the order to
// try them. Keyed by the page's anchor ("Privacy_Microphone", ...); a page
// no desktop has gets an empty list.
struct SystemSettingsCommands {
    SystemSettingsCommands() = delete;

    static QList<SettingsCommand> forAnchor(const QString& anchor);
};

} // namespace vellamor::platform
