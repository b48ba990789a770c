#include "SettingsWindow/RecordingPage.h"

#include "AudioCapture/AudioInputDevice.h"
#include "AudioCapture/AudioInputDeviceManager.h"
#include "Hotkey/HotkeyCombo.h"
#include "I18n/L10n.h"
#include "Platform/KeySource/KeyCodeMapping.h"
#include "SettingsWindow/ErrorText.h"
#include "SettingsWindow/HotkeyRecorder.h"
#include "SettingsWindow/RefreshButton.h"
#include "SettingsWindow/SettingsStoreObservable.h"
#include "SettingsWindow/SettingsTexts.h"
#include "Support/Async/Spawn.h"
#include "Windows/CardGroup.h"
#include "Windows/InfoCard.h"
#include "Windows/PaintKit.h"
#include "Windows/RowDivider.h"
#include "Windows/SectionHeader.h"
#include "Windows/SettingsRow.h"
#include "Windows/WindowTheme.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

namespace vellamor {

namespace {

const std::array<QString, 2> modes{QStringLiteral("hold"), QStringLiteral("toggle")};

// A round choice mark: a thin ring when off, a thick accent ring around a
// white centre when on.
class RadioDot : public QAbstractButton {
public:
    explicit RadioDot(QWidget* parent)
        : QAbstractButton(parent)
    {
        setCheckable(true);
        setCursor(Qt::PointingHandCursor);
        setFixedSize(16, 16);
    }

protected:
    // Only the page moves the mark, after the binding changed.
    void nextCheckState() override {}

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::NoBrush);
        if (!isChecked()) {
            painter.setPen(QPen(PaintKit::withOpacity(WindowTheme::secondary(), 0.4), 1.5));
            painter.drawEllipse(QRectF(0.75, 0.75, 14.5, 14.5));
            return;
        }
        painter.setPen(QPen(WindowTheme::accent(), 5));
        painter.drawEllipse(QRectF(2.5, 2.5, 11, 11));
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(6, 6, 4, 4));
    }
};

} // namespace

RecordingPage::RecordingPage(SettingsStoreObservable& obs, std::shared_ptr<platform::SoundServer> soundServer,
                             std::function<void(bool recording)> hotkeyRecording, QWidget* parent)
    : QWidget(parent)
    , obs_(obs)
    , soundServer_(std::move(soundServer))
    , microphonePicker_(new QComboBox(this))
    , refreshButton_(new RefreshButton(QStringLiteral("刷新麦克风列表"), this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(20);
    layout->addWidget(new SectionHeader(SettingsTexts::recordingTitle, QStringLiteral("设置触发方式与自动停止策略"), this));

    auto* trigger = new CardGroup(QStringLiteral("触发方式"), this);
    const std::array<const SettingsRowText*, 2> modeRows{&SettingsTexts::holdMode, &SettingsTexts::toggleMode};
    for (std::size_t i = 0; i < modes.size(); ++i) {
        if (i > 0)
            trigger->addWidget(new RowDivider(this));
        auto* dot = new RadioDot(this);
        connect(dot, &QAbstractButton::clicked, this, [this, mode = modes[i]] { obs_.hotkeyMode.set(mode); });
        modeDots_[i] = dot;
        trigger->addWidget(new SettingsRow(modeRows[i]->title, modeRows[i]->subtitle, dot, this));
    }
    layout->addWidget(trigger);
    modeSubscription_ = obs_.hotkeyMode.subscribe([this](const QString& mode) {
        for (std::size_t i = 0; i < modes.size(); ++i)
            modeDots_[i]->setChecked(mode == modes[i]);
    });

    auto* microphone = new CardGroup(QStringLiteral("麦克风"), this);
    auto* picker = new QWidget(this);
    auto* pickerLayout = new QHBoxLayout(picker);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    pickerLayout->setSpacing(8);
    microphonePicker_->setFixedWidth(230);
    microphonePicker_->setFont(WindowTheme::font(13));
    pickerLayout->addWidget(microphonePicker_);
    pickerLayout->addWidget(refreshButton_);
    connect(microphonePicker_, &QComboBox::activated, this, [this](int index) {
        const QString tag = microphonePicker_->itemData(index).toString();
        obs_.selectedMicrophoneUID.set(tag == AudioInputDevice::systemDefaultSentinel()
                                           ? noText()
                                           : std::optional<QString>(tag));
    });
    connect(refreshButton_, &QToolButton::clicked, this, &RecordingPage::reloadDevices);
    microphoneRow_ = new SettingsRow(QStringLiteral("输入设备"), QString(), picker, this);
    microphone->addWidget(microphoneRow_);
    layout->addWidget(microphone);
    microphoneSubscription_ =
        obs_.selectedMicrophoneUID.subscribe([this](const std::optional<QString>& uid) { showMicrophoneChoice(uid); });

    auto* hotkey = new CardGroup(QStringLiteral("快捷键"), this);
    recorder_ = new HotkeyRecorder(obs_.customHotkey, recordingTimeout, std::move(hotkeyRecording), this);
    auto* hotkeyRow = new SettingsRow(SettingsTexts::hotkey, hotkeySubtitle(), recorder_, this);
    hotkey->addWidget(hotkeyRow);
    layout->addWidget(hotkey);
    hotkeySubscription_ = obs_.customHotkey.subscribe(
        [hotkeyRow](const std::optional<QString>& stored) { hotkeyRow->setSubtitle(hotkeySubtitle(stored)); });

    auto* autoStop = new CardGroup(QStringLiteral("自动停止"), this);
    autoStop->addWidget(new InfoCard(QStringLiteral("timer"), SettingsTexts::autoStop.title,
                                     SettingsTexts::autoStop.subtitle, this));
    layout->addWidget(autoStop);
    // The cards keep their height; the page's foot takes what is left.
    layout->addStretch(1);
    showDevices({});
}

QString RecordingPage::hotkeySubtitle(const std::optional<QString>& stored)
{
    const QString heldKey = platform::KeyCodeMapping::heldKeyName();
    const std::optional<HotkeyCombo::SetAside> setAside = stored ? HotkeyCombo::setAside(*stored) : std::nullopt;
    if (!setAside)
        return L10n::Hotkey::inSentence(QStringLiteral("点击「录制」按下新组合键，单按 %1 也可作为热键"), heldKey);
    QString why;
    switch (*setAside) {
    case HotkeyCombo::SetAside::unknownKey:
        why = QStringLiteral(" 用到了此键盘上没有的按键，现在使用 %1");
        break;
    case HotkeyCombo::SetAside::notACombination:
        why = QStringLiteral(" 不是有效的组合，现在使用 %1");
        break;
    case HotkeyCombo::SetAside::swallowsTyping:
        why = QStringLiteral(" 没有修饰键，会挡住正常打字，现在使用 %1");
        break;
    }
    // The stored text is the user's: only the sentence's own %1 is the held key.
    return QStringLiteral("已保存的快捷键 ") + HotkeyCombo::displayKeycaps(*stored).join(u'+')
        + L10n::Hotkey::inSentence(why, heldKey);
}

QString RecordingPage::microphoneSubtitle(const std::optional<QString>& uid, const QList<AudioInputDevice>& devices)
{
    if (!uid || uid->isEmpty())
        return QStringLiteral("跟随系统当前默认输入设备；不会改系统音量");
    for (const AudioInputDevice& device : devices) {
        if (device.uid == *uid)
            return QStringLiteral("已保存选择；不会改系统音量");
    }
    return QStringLiteral("已保存的麦克风当前不可用，会暂时跟随系统默认输入");
}

void RecordingPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    reloadDevices();
}

void RecordingPage::reloadDevices()
{
    if (!soundServer_)
        return;
    QPointer<RecordingPage> self(this);
    spawn(this, QStringLiteral("settings microphone list"),
          [self, server = soundServer_](std::stop_token) -> QCoro::Task<void> {
              QList<AudioInputDevice> devices = co_await AudioInputDeviceManager::availableInputDevices(*server);
              if (self)
                  self->showDevices(std::move(devices));
          });
}

void RecordingPage::showDevices(QList<AudioInputDevice> devices)
{
    devices_ = std::move(devices);
    microphonePicker_->clear();
    microphonePicker_->addItem(QStringLiteral("系统默认"), AudioInputDevice::systemDefaultSentinel());
    for (const AudioInputDevice& device : devices_)
        microphonePicker_->addItem(device.isDefault ? device.name + QStringLiteral("（当前默认）") : device.name,
                                   device.uid);
    showMicrophoneChoice(obs_.selectedMicrophoneUID.value());
}

void RecordingPage::showMicrophoneChoice(const std::optional<QString>& uid)
{
    // A saved microphone that is not plugged in has no entry to show.
    const bool followsDefault = !uid || uid->isEmpty();
    microphonePicker_->setCurrentIndex(
        microphonePicker_->findData(followsDefault ? AudioInputDevice::systemDefaultSentinel() : *uid));
    microphoneRow_->setSubtitle(microphoneSubtitle(uid, devices_));
}

} // namespace vellamor
