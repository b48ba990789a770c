#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace vellamor::devbackend
{

class DevServer;

// Keeps the server's state parts (DevServer::StatePart) in one JSON file, so
// a restarted devserver knows its accounts, sessions and records again:
// read once by load(), then written whole after every change, through a
// temporary file readable by its owner only (it holds passwords and
// sessions) renamed over the old one. A file that cannot be read back
// whole, or whose counters would give an id again or overflow, is renamed
// aside ("<file>.damaged-<UTC time>") and the server starts empty; a file
// that cannot be written, or whose mode cannot be set, is reported and
// tried again on the next change. Every such event is one line for the
// console.
class DevStateFile final : public QObject
{
    Q_OBJECT
public:
    using Console = std::function<void(const QString& line)>;

    DevStateFile(DevServer& server, QString path, Console console);

    // Restores every part from the file (a missing file leaves them empty)
    // and starts saving on change.
    void load();
    bool save();

    const QString& path() const { return path_; }

private:
    // Why the file's content is not a state this server saved; empty when it is.
    QString restore(const QByteArray& content);
    void setAside(const QString& reason);

    DevServer& server_;
    QString path_;
    Console console_;
    bool saving_ = false;
};

} // namespace vellamor::devbackend
