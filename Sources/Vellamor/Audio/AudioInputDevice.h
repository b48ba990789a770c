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
};

} // namespace vellamor
