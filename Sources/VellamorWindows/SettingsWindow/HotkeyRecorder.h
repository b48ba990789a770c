#pragma once

#include "Platform/KeySource/ModifierFlags.h"
#include "Platform/KeySource/VirtualKeyCode.h"
#include "SettingsWindow/BoundField.h"

#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>
#include <set>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QTimer;

namespace vellamor {

// Shows the key the hotkey listens to as key caps (the held key for a
// stored text it sets aside) and records a new one: while it
// records, it reads every key of the application's windows by position
// and writes the first acceptable combination to the binding. Right Ctrl
// is the "fn" key; pressed and released alone, with no other modifier
// pressed meanwhile, it records "fn".
class HotkeyRecorder : public QWidget {
    Q_OBJECT

public:
    using Field = BoundField<std::optional<QString>>;

    static QString startHint() { return QStringLiteral("按下任意组合"); }
    static QString modifierHint();
    static QString unsupportedHint() { return QStringLiteral("不支持的按键，换一个试试"); }
    static QString fnHint();

    // `onRecording` hears true when a recording starts and false when it
    // ends, however it ends.
    HotkeyRecorder(Field& customHotkey, std::chrono::milliseconds timeout, std::function<void(bool)> onRecording,
                   QWidget* parent = nullptr);
    ~HotkeyRecorder() override;

    bool isRecording() const { return recording_; }
    // The hint while recording; none at rest.
    const std::optional<QString>& hint() const { return hint_; }
    QPushButton& recordButton() { return *recordButton_; }
    QPushButton& resetButton() { return *resetButton_; }
    QPushButton& cancelButton() { return *cancelButton_; }

    // Nothing while recording already.
    void startRecording();
    // Safe at rest.
    void stopRecording();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // True to swallow the event.
    bool handleKeyDown(platform::VirtualKeyCode key);
    void handleModifiersChanged(platform::VirtualKeyCode key, bool down);
    // The combination modifiers held, Right Ctrl's `control` left out.
    platform::ModifierFlags heldModifiers() const;
    bool fnHeld() const;
    void write(const QString& combination);
    void setHint(std::optional<QString> hint);
    void showState();
    void showKeycaps(const std::optional<QString>& combination);

    Field& customHotkey_;
    std::function<void(bool)> onRecording_;
    QTimer* timeout_;
    QWidget* rest_;
    QHBoxLayout* keycaps_;
    QPushButton* recordButton_;
    QPushButton* resetButton_;
    QWidget* recordingView_;
    QLabel* hintLabel_;
    QPushButton* cancelButton_;
    bool recording_ = false;
    // The held key went down alone and nothing else was pressed since.
    bool awaitingFnRelease_ = false;
    std::optional<QString> hint_;
    std::set<platform::VirtualKeyCode> heldModifierKeys_;
    Subscription subscription_;
};

} // namespace vellamor
