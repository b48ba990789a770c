#pragma once

#include "AudioCapture/AudioInputDevice.h"
#include "Platform/SoundServer/SoundServer.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QStringView>

namespace vellamor {

// Lists the microphones for the menu and the settings page.
class AudioInputDeviceManager {
public:
    AudioInputDeviceManager() = delete;

    // The sources of `server`, which must outlive the wait. Main thread.
    static QCoro::Task<QList<AudioInputDevice>> availableInputDevices(platform::SoundServer& server);

    // The rule on one answer of the server: nothing without a default source;
    // monitors of outputs, sources without channels and sources without a
    // name are left out; a source without a description is "未知麦克风"; the
    // default comes first, the rest follow by name, numbers compared by value.
    static QList<AudioInputDevice> devicesFrom(const platform::SoundServerSnapshot& snapshot);

    // The order of names people see: case ignored, runs of digits by their
    // value ("Mic 2" before "Mic 10"). Negative, zero or positive.
    static int compareNames(const QString& a, const QString& b);

private:
    static int compareNumbers(QStringView a, QStringView b);
};

} // namespace vellamor
