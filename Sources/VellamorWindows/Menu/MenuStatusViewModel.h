#pragma once

#include "Menu/MenuBarStatus.h"
#include "Support/Async/Published.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <vector>

namespace vellamor {

class AuthSessionObserver;
class DictationState;
class OverlayViewModel;
class SettingsStore;

// The three information rows of the status item's menu: what the dictation
// does now (with a running clock while recording), the output mode, and the
// account. Main thread only.
class MenuStatusViewModel : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultTickInterval{1000};

    // `overlay` must outlive the model.
    MenuStatusViewModel(OverlayViewModel& overlay, std::shared_ptr<SettingsStore> settingsStore,
                        std::shared_ptr<AuthSessionObserver> auth, QObject* parent = nullptr);
    MenuStatusViewModel(OverlayViewModel& overlay, std::shared_ptr<SettingsStore> settingsStore,
                        std::shared_ptr<AuthSessionObserver> auth, std::chrono::milliseconds tickInterval,
                        QObject* parent = nullptr);
    ~MenuStatusViewModel() override;

    // No account row until the first refresh(); from then on always one.
    Published<MenuBarStatus> status{{QStringLiteral("待机"), QStringLiteral("—"), std::nullopt}};

    // Follows the sign-in and the overlay's state and warning (each delivered
    // on a later turn), then refreshes. Drops earlier subscriptions first.
    void bind();
    void unbind();
    // Publishes the rows from the sources as they are now, and runs the
    // clock exactly while the overlay records. The clock keeps running while
    // the menu is open.
    void refresh();

    bool isTicking() const { return tickTimer_.isActive(); }

private:
    static QString connectionText(const DictationState& state, qint64 elapsedMillis, const QString& warning);

    OverlayViewModel& overlay_;
    std::shared_ptr<SettingsStore> settingsStore_;
    std::shared_ptr<AuthSessionObserver> auth_;
    std::vector<Subscription> subscriptions_;
    QTimer tickTimer_;
    QString accountLabel_ = QStringLiteral("未登录");
};

} // namespace vellamor
