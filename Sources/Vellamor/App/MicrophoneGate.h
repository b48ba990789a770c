#pragma once

#include "Logging/VellamorLog.h"
#include "Permissions/PermissionChecker.h"

#include <QCoro/QCoroTask>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

namespace vellamor {

// Lets a dictation open only with the microphone's permission: a refusal
// shows the island's hint and one alert at a time, an undecided permission
// is asked for once, and a late yes opens the dictation then.
class MicrophoneGate : public QObject {
    Q_OBJECT

public:
    static QString hint() { return QStringLiteral("未检测到麦克风"); }
    static QString alertTitle() { return QStringLiteral("Vellamor 还不能使用麦克风"); }

    struct Hooks {
        // The session that asked does not open: nothing may stay armed for it.
        std::function<void()> standDown;
        // The island shows `hint()`.
        std::function<void()> showHint;
        // The asked-for permission was granted.
        std::function<void()> grantedLater;
    };

    MicrophoneGate(std::shared_ptr<PermissionChecker> checker, VellamorLog log, Hooks hooks,
                   QObject* parent = nullptr);
    ~MicrophoneGate() override;

    // True when the dictation may open now.
    QCoro::Task<bool> admit();

private:
    void refuse(const QString& reason);
    void showAlert(const QString& reason);

    std::shared_ptr<PermissionChecker> checker_;
    VellamorLog log_;
    Hooks hooks_;
    bool requestInFlight_ = false;
    bool alertVisible_ = false;
    QPointer<QMessageBox> alert_;
};

} // namespace vellamor
