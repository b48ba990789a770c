#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace vellamor {

// Whether the desktop session opens the application at login: the XDG
// autostart entry, a copy of the installed desktop entry. It is on while
// the entry exists and is not hidden.
class LaunchAtLogin {
public:
    static QString entryName() { return QStringLiteral("com.vellamor.app.desktop"); }

    // `autostartEntry`: where the copy goes; `installedEntry`: what is copied.
    LaunchAtLogin(QString autostartEntry, QString installedEntry);
    virtual ~LaunchAtLogin() = default;

    // The entry under $XDG_CONFIG_HOME (else ~/.config) of `environment`,
    // copied from the installed desktop entry, else from the one built in.
    static LaunchAtLogin standard(const QProcessEnvironment& environment);

    virtual bool isEnabled() const;
    // Writes or removes the entry when it differs from `enabled`. Throws
    // FileSystemError naming the file or folder refused.
    virtual void setEnabled(bool enabled);

    const QString& autostartEntry() const { return autostartEntry_; }

private:
    QString autostartEntry_;
    QString installedEntry_;
};

} // namespace vellamor
