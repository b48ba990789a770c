#pragma once

#include <QString>
#include <QtGlobal>

namespace vellamor {

// A microphone the system offers. `id` is the sound server's index of the
// source, valid while the server runs; `uid` its persistent name.
struct AudioInputDevice {
    quint32 id = 0;
    QString uid;
    QString name;
    bool isDefault = false;

    friend bool operator==(const AudioInputDevice&, const AudioInputDevice&) = default;

    // What a microphone menu or picker holds for "the system's default"
    // instead of a device's `uid`; never a sound server's name.
    static QString systemDefaultSentinel() { return QStringLiteral("__vellamor_system_default_input__"); }
};

} // namespace vellamor
