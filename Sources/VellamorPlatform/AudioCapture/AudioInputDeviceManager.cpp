#include "AudioCapture/AudioInputDeviceManager.h"

#include <QCollator>

#include <algorithm>

namespace vellamor {

QCoro::Task<QList<AudioInputDevice>> AudioInputDeviceManager::availableInputDevices(platform::SoundServer& server)
{
    co_return devicesFrom(co_await server.snapshot());
}

QList<AudioInputDevice> AudioInputDeviceManager::devicesFrom(const platform::SoundServerSnapshot& snapshot)
{
    if (!snapshot.reachable || snapshot.defaultSourceName.isEmpty())
        return {};
    QList<AudioInputDevice> devices;
    for (const platform::SoundSource& source : snapshot.sources) {
        if (source.isMonitor || source.channels <= 0 || source.name.isEmpty())
            continue;
        const bool named = source.description && !source.description->trimmed().isEmpty();
        devices.append(AudioInputDevice {source.index, source.name,
                                         named ? *source.description : QStringLiteral("未知麦克风"),
                                         source.name == snapshot.defaultSourceName});
    }
    std::stable_sort(devices.begin(), devices.end(), [](const AudioInputDevice& a, const AudioInputDevice& b) {
        if (a.isDefault != b.isDefault)
            return a.isDefault;
        return compareNames(a.name, b.name) < 0;
    });
    return devices;
}

int AudioInputDeviceManager::compareNames(const QString& a, const QString& b)
{
    // QCollator's numeric mode does nothing in the C locale, which is what a
    // session without LANG runs in, so digit runs are compared here.
    static thread_local const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const auto runEnd = [](const QString& text, qsizetype from) {
        const bool digits = text[from].isDigit();
        qsizetype end = from;
        while (end < text.size() && text[end].isDigit() == digits)
            ++end;
        return end;
    };
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const qsizetype endA = runEnd(a, i);
        const qsizetype endB = runEnd(b, j);
        const QStringView runA = QStringView(a).sliced(i, endA - i);
        const QStringView runB = QStringView(b).sliced(j, endB - j);
        int order = 0;
        if (runA.front().isDigit() && runB.front().isDigit())
            order = compareNumbers(runA, runB);
        else
            order = collator.compare(runA, runB);
        if (order != 0)
            return order;
        i = endA;
        j = endB;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return 0;
}

int AudioInputDeviceManager::compareNumbers(QStringView a, QStringView b)
{
    const auto withoutLeadingZeros = [](QStringView digits) {
        while (digits.size() > 1 && digits.front().digitValue() == 0)
            digits = digits.sliced(1);
        return digits;
    };
    a = withoutLeadingZeros(a);
    b = withoutLeadingZeros(b);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (qsizetype k = 0; k < a.size(); ++k) {
        const int da = a[k].digitValue();
        const int db = b[k].digitValue();
        if (da != db)
            return da < db ? -1 : 1;
    }
    return 0;
}

} // namespace vellamor
