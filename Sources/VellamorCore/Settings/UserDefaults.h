#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>

#include <memory>
#include <optional>

namespace vellamor {

// Small key-value settings kept in an INI file through QSettings, standing in
// for the platform's user defaults. Keys are used verbatim
// ("com.vellamor.preferences", "auth.just_registered"); a "/" in a key would
// make QSettings nest it in a group, so the system's keys contain none.
//
// Every operation opens the file through its own QSettings object and writes
// through at once (QSettings objects are not safe to share between threads),
// so another UserDefaults on the same file sees the change. Safe to call from
// any thread. The setters return false when the file could not be written.
// Virtual so tests can put a failing or recording fake in its place.
class UserDefaults {
public:
    explicit UserDefaults(QString filePath);
    virtual ~UserDefaults();

    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // $XDG_CONFIG_HOME/vellamor/vellamor.ini (default ~/.config/vellamor/).
    static QString standardFilePath();
    // One shared instance on standardFilePath(), created on first use.
    static std::shared_ptr<UserDefaults> standard();

    const QString& filePath() const { return filePath_; }

    // The bytes stored under `key`; none when absent or not stored as bytes.
    virtual std::optional<QByteArray> data(const QString& key) const;
    virtual bool setData(const QString& key, const QByteArray& value);
    // False when absent.
    virtual bool boolValue(const QString& key) const;
    virtual bool setBool(const QString& key, bool value);
    // The text stored under `key`; none when absent or not stored as text.
    virtual std::optional<QString> string(const QString& key) const;
    virtual bool setString(const QString& key, const QString& value);
    virtual bool contains(const QString& key) const;
    virtual bool remove(const QString& key);

private:
    QString filePath_;
    mutable QMutex mutex_;
};

} // namespace vellamor
