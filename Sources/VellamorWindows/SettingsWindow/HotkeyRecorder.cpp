#include "SettingsWindow/HotkeyRecorder.h"

#include "Hotkey/HotkeyCombo.h"
#include "Platform/KeySource/KeyCodeMapping.h"
#include "SettingsWindow/ErrorText.h"
#include "Windows/Keycap.h"
#include "Windows/PaintKit.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

namespace vellamor {

using platform::KeyCodeMapping;
using platform::VirtualKeyCode;
namespace virtualKey = platform::virtualKey;

namespace {

// X11 numbers keys 8 above the kernel's codes.
constexpr quint32 x11KeyCodeOffset = 8;

VirtualKeyCode keyAt(const QKeyEvent& event)
{
    const quint32 scanCode = event.nativeScanCode();
    if (scanCode < x11KeyCodeOffset || scanCode - x11KeyCodeOffset > 0xFFFF)
        return virtualKey::unknown;
    return KeyCodeMapping::virtualKeyCode(static_cast<std::uint16_t>(scanCode - x11KeyCodeOffset));
}

// The accent capsule with the recording dot and the hint.
class RecordingCapsule : public QWidget {
public:
    RecordingCapsule(QLabel* hint, QWidget* parent)
        : QWidget(parent)
    {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(10 + 6 + 6, 5, 10, 5);
        layout->addWidget(hint);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor accent = WindowTheme::accent();
        const QPainterPath shape = PaintKit::continuousRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6);
        painter.fillPath(shape, PaintKit::withOpacity(accent, 0.18));
        painter.strokePath(shape, QPen(PaintKit::withOpacity(accent, 0.55), 1));
        painter.setPen(Qt::NoPen);
        painter.setBrush(accent);
        painter.drawEllipse(QRectF(10, height() / 2.0 - 3, 6, 6));
    }
};

QPushButton* smallButton(const QString& title, QWidget* parent)
{
    auto* button = new QPushButton(title, parent);
    button->setFont(WindowTheme::font(11));
    button->setAutoDefault(false);
    return button;
}

} // namespace

HotkeyRecorder::HotkeyRecorder(Field& customHotkey, std::chrono::milliseconds timeout,
                               std::function<void(bool)> onRecording, QWidget* parent)
    : QWidget(parent)
    , customHotkey_(customHotkey)
    , onRecording_(std::move(onRecording))
    , timeout_(new QTimer(this))
    , rest_(new QWidget(this))
    , keycaps_(new QHBoxLayout)
    , recordButton_(smallButton(QStringLiteral("录制"), rest_))
    , resetButton_(smallButton(QStringLiteral("恢复默认"), rest_))
    , recordingView_(new QWidget(this))
    , hintLabel_(new QLabel(recordingView_))
    , cancelButton_(smallButton(QStringLiteral("取消"), recordingView_))
{
    timeout_->setSingleShot(true);
    timeout_->setInterval(timeout);
    connect(timeout_, &QTimer::timeout, this, &HotkeyRecorder::stopRecording);

    keycaps_->setSpacing(4);
    auto* restLayout = new QHBoxLayout(rest_);
    restLayout->setContentsMargins(0, 0, 0, 0);
    restLayout->setSpacing(8);
    restLayout->addLayout(keycaps_);
    restLayout->addWidget(recordButton_);
    restLayout->addWidget(resetButton_);
    connect(recordButton_, &QPushButton::clicked, this, &HotkeyRecorder::startRecording);
    connect(resetButton_, &QPushButton::clicked, this, [this] { customHotkey_.set(noText()); });

    hintLabel_->setFont(WindowTheme::font(12, QFont::Medium));
    auto* recordingLayout = new QHBoxLayout(recordingView_);
    recordingLayout->setContentsMargins(0, 0, 0, 0);
    recordingLayout->setSpacing(8);
    recordingLayout->addWidget(new RecordingCapsule(hintLabel_, recordingView_));
    recordingLayout->addWidget(cancelButton_);
    cancelButton_->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(cancelButton_, &QPushButton::clicked, this, &HotkeyRecorder::stopRecording);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(rest_);
    layout->addWidget(recordingView_);
    subscription_ = customHotkey_.subscribe([this](const std::optional<QString>& combination) {
        showKeycaps(combination);
        resetButton_->setVisible(combination.has_value());
    });
    // The row keeps its height whether it shows the key caps or a hint.
    hintLabel_->setText(startHint());
    setMinimumHeight(std::max(rest_->sizeHint().height(), recordingView_->sizeHint().height()));
    showState();
}

QString HotkeyRecorder::modifierHint()
{
    return QStringLiteral("至少需要一个修饰键（Ctrl/Alt/Shift/Super/") + KeyCodeMapping::heldKeyName()
        + QStringLiteral("）");
}

QString HotkeyRecorder::fnHint()
{
    return KeyCodeMapping::heldKeyName() + QStringLiteral(" — 松开以确认 / 继续按主键组合");
}

HotkeyRecorder::~HotkeyRecorder()
{
    stopRecording();
}

void HotkeyRecorder::startRecording()
{
    if (recording_)
        return;
    qApp->removeEventFilter(this);
    recording_ = true;
    awaitingFnRelease_ = false;
    heldModifierKeys_.clear();
    setHint(startHint());
    qApp->installEventFilter(this);
    timeout_->start();
    showState();
    if (onRecording_)
        onRecording_(true);
}

void HotkeyRecorder::stopRecording()
{
    qApp->removeEventFilter(this);
    timeout_->stop();
    const bool wasRecording = std::exchange(recording_, false);
    setHint(noText());
    awaitingFnRelease_ = false;
    showState();
    if (wasRecording && onRecording_)
        onRecording_(false);
}

void HotkeyRecorder::hideEvent(QHideEvent* event)
{
    stopRecording();
    QWidget::hideEvent(event);
}

bool HotkeyRecorder::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return QWidget::eventFilter(watched, event);
    const auto& keyEvent = *static_cast<QKeyEvent*>(event);
    const VirtualKeyCode key = keyAt(keyEvent);
    if (KeyCodeMapping::isModifier(key)) {
        // A modifier that changes is never passed on, nor acted on by a
        // shortcut. A held modifier that repeats has not changed: its
        // repeated release must not read as letting go.
        if (type == QEvent::ShortcutOverride || keyEvent.isAutoRepeat()) {
            event->accept();
            return true;
        }
        if (type == QEvent::KeyPress)
            heldModifierKeys_.insert(key);
        else
            heldModifierKeys_.erase(key);
        handleModifiersChanged(key, type == QEvent::KeyPress);
        return true;
    }
    if (type == QEvent::KeyRelease)
        return false;
    if (type == QEvent::ShortcutOverride) {
        // Claimed, so that the key press comes here instead of a shortcut.
        event->accept();
        return true;
    }
    return handleKeyDown(key);
}

bool HotkeyRecorder::handleKeyDown(VirtualKeyCode key)
{
    const platform::ModifierFlags modifiers = heldModifiers();
    const bool fn = fnHeld();
    if (key == virtualKey::escape && modifiers == 0 && !fn) {
        stopRecording();
        return true;
    }
    if (modifiers == 0 && !fn) {
        // Swallowed as well: the focused button must not act on it.
        setHint(modifierHint());
        return true;
    }
    const std::optional<QString> combination =
        HotkeyCombo::keyName(key) ? HotkeyCombo::encode(modifiers, fn, key) : std::nullopt;
    if (!combination) {
        setHint(unsupportedHint());
        return true;
    }
    write(*combination);
    return true;
}

void HotkeyRecorder::handleModifiersChanged(VirtualKeyCode key, bool down)
{
    const bool fn = fnHeld();
    if (fn && heldModifiers() == 0) {
        setHint(fnHint());
        // Only the held key going down alone starts the reading of it alone;
        // another modifier let go before it does not.
        if (down && key == KeyCodeMapping::heldKey)
            awaitingFnRelease_ = true;
    } else if (heldModifiers() != 0) {
        awaitingFnRelease_ = false;
    } else if (!fn && std::exchange(awaitingFnRelease_, false)) {
        write(HotkeyCombo::encode(0, true, std::nullopt).value_or(QStringLiteral("fn")));
    }
}

platform::ModifierFlags HotkeyRecorder::heldModifiers() const
{
    platform::ModifierFlags flags = 0;
    for (const VirtualKeyCode key : heldModifierKeys_) {
        if (key != KeyCodeMapping::heldKey)
            flags |= KeyCodeMapping::modifierFlags(key) & platform::modifierFlag::combinationModifiers;
    }
    return flags;
}

bool HotkeyRecorder::fnHeld() const
{
    return heldModifierKeys_.contains(KeyCodeMapping::heldKey);
}

void HotkeyRecorder::write(const QString& combination)
{
    customHotkey_.set(combination);
    stopRecording();
}

void HotkeyRecorder::setHint(std::optional<QString> hint)
{
    hint_ = std::move(hint);
    hintLabel_->setText(hint_.value_or(startHint()));
}

void HotkeyRecorder::showState()
{
    rest_->setVisible(!recording_);
    recordingView_->setVisible(recording_);
}

void HotkeyRecorder::showKeycaps(const std::optional<QString>& combination)
{
    clearLayout(keycaps_);
    // The key listened to: the held key also stands in for a stored text
    // the hotkey sets aside.
    const bool heldKey = !combination || combination->isEmpty() || HotkeyCombo::setAside(*combination);
    const QStringList caps
        = heldKey ? QStringList{KeyCodeMapping::heldKeyName()} : HotkeyCombo::displayKeycaps(*combination);
    for (const QString& cap : caps)
        keycaps_->addWidget(new Keycap(cap, rest_));
}

} // namespace vellamor
