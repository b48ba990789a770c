#pragma once

#include "AudioCapture/AudioInputDevice.h"
#include "Support/Async/Published.h"

#include <QList>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;
class QComboBox;

namespace vellamor {

class HotkeyRecorder;
class RefreshButton;
class SettingsRow;
class SettingsStoreObservable;

namespace platform {
class SoundServer;
}

// The recording section: hold or toggle, the microphone, the custom
// hotkey and the automatic stop. The microphone list is read again each
// time the page comes on screen and on its refresh button.
class RecordingPage : public QWidget {
    Q_OBJECT

public:
    static constexpr std::chrono::seconds recordingTimeout{30};

    // `hotkeyRecording` hears true when a hotkey recording starts, false
    // when it ends, however it ends.
    RecordingPage(SettingsStoreObservable& obs, std::shared_ptr<platform::SoundServer> soundServer,
                  std::function<void(bool recording)> hotkeyRecording, QWidget* parent = nullptr);

    // The hotkey row's explanation, naming the held key; for a `stored`
    // text the hotkey sets aside, why the held key is listened to instead.
    static QString hotkeySubtitle(const std::optional<QString>& stored = std::nullopt);
    // The subtitle of the microphone row for `uid` among `devices`.
    static QString microphoneSubtitle(const std::optional<QString>& uid, const QList<AudioInputDevice>& devices);

    // The "hold" and "toggle" dots.
    const std::array<QAbstractButton*, 2>& modeDots() const { return modeDots_; }
    QComboBox& microphonePicker() { return *microphonePicker_; }
    SettingsRow& microphoneRow() { return *microphoneRow_; }
    RefreshButton& refreshButton() { return *refreshButton_; }
    HotkeyRecorder& recorder() { return *recorder_; }
    const QList<AudioInputDevice>& devices() const { return devices_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reloadDevices();
    void showDevices(QList<AudioInputDevice> devices);
    void showMicrophoneChoice(const std::optional<QString>& uid);

    SettingsStoreObservable& obs_;
    std::shared_ptr<platform::SoundServer> soundServer_;
    std::array<QAbstractButton*, 2> modeDots_{};
    QComboBox* microphonePicker_;
    SettingsRow* microphoneRow_ = nullptr;
    RefreshButton* refreshButton_;
    HotkeyRecorder* recorder_ = nullptr;
    QList<AudioInputDevice> devices_;
    Subscription modeSubscription_;
    Subscription microphoneSubscription_;
    Subscription hotkeySubscription_;
};

} // namespace vellamor
