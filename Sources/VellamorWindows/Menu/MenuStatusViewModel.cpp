#include "Menu/MenuStatusViewModel.h"

#include "Auth/AuthSessionObserver.h"
#include "Overlay/OverlayViewModel.h"
#include "Settings/SettingsStore.h"

#include <algorithm>

namespace vellamor {

MenuStatusViewModel::MenuStatusViewModel(OverlayViewModel& overlay, std::shared_ptr<SettingsStore> settingsStore,
                                         std::shared_ptr<AuthSessionObserver> auth, QObject* parent)
    : MenuStatusViewModel(overlay, std::move(settingsStore), std::move(auth), defaultTickInterval, parent)
{
}

MenuStatusViewModel::MenuStatusViewModel(OverlayViewModel& overlay, std::shared_ptr<SettingsStore> settingsStore,
                                         std::shared_ptr<AuthSessionObserver> auth,
                                         std::chrono::milliseconds tickInterval, QObject* parent)
    : QObject(parent)
    , overlay_(overlay)
    , settingsStore_(std::move(settingsStore))
    , auth_(std::move(auth))
{
    // An event loop timer, which also fires while the menu is open.
    tickTimer_.setInterval(tickInterval);
    connect(&tickTimer_, &QTimer::timeout, this, &MenuStatusViewModel::refresh);
}

MenuStatusViewModel::~MenuStatusViewModel()
{
    unbind();
}

void MenuStatusViewModel::bind()
{
    unbind();
    subscriptions_.push_back(auth_->subscribeStateQueued(this, [this](const AuthState& state) {
        accountLabel_ = state.me() ? state.me()->email : QStringLiteral("未登录");
        refresh();
    }));
    subscriptions_.push_back(overlay_.state.subscribeQueued(this, [this](const auto&) { refresh(); }));
    subscriptions_.push_back(overlay_.warning.subscribeQueued(this, [this](const auto&) { refresh(); }));
    refresh();
}

void MenuStatusViewModel::unbind()
{
    subscriptions_.clear();
    tickTimer_.stop();
}

void MenuStatusViewModel::refresh()
{
    status = MenuBarStatus{
        connectionText(overlay_.state.value(), overlay_.elapsedMillis.value(), overlay_.warning.value()),
        settingsStore_->current().enableLLMPolish ? QStringLiteral("插入润色后") : QStringLiteral("仅插入原文"),
        accountLabel_,
    };
    // Read again: a subscriber of the status may have moved the session on.
    const bool recording = overlay_.state.value().kind() == DictationState::Kind::recording;
    if (!recording)
        tickTimer_.stop();
    else if (!tickTimer_.isActive())
        tickTimer_.start();
}

QString MenuStatusViewModel::connectionText(const DictationState& state, qint64 elapsedMillis,
                                            const QString& warning)
{
    QString text;
    switch (state.kind()) {
    case DictationState::Kind::idle:
        text = QStringLiteral("待机");
        break;
    case DictationState::Kind::recording: {
        const qint64 millis = std::max<qint64>(elapsedMillis, 0);
        text = QStringLiteral("录音中 %1:%2").arg(millis / 60000).arg((millis / 1000) % 60, 2, 10, QLatin1Char('0'));
        break;
    }
    case DictationState::Kind::transcribing:
        text = QStringLiteral("转写中");
        break;
    case DictationState::Kind::polishing:
        text = QStringLiteral("润色中");
        break;
    case DictationState::Kind::inserting:
        text = QStringLiteral("写入中");
        break;
    case DictationState::Kind::done:
        text = QStringLiteral("完成");
        break;
    case DictationState::Kind::cancelled:
        text = QStringLiteral("已取消");
        break;
    case DictationState::Kind::failed: {
        const QString reason = state.reason().trimmed();
        text = reason.isEmpty() ? QStringLiteral("出错") : QStringLiteral("出错 · ") + reason;
        break;
    }
    }
    if (!warning.trimmed().isEmpty())
        text += QStringLiteral(" · 即将超时");
    return text;
}

} // namespace vellamor
