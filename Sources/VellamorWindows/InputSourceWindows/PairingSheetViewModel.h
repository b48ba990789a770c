#pragma once

#include "InputSources/InputSourceAPIProtocol.h"
#include "Support/Async/Published.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"
#include "Support/Date.h"

#include <QImage>
#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace vellamor {

// What the pairing sheet's content area shows.
struct PairingSheetReady {
    QString code;
    // By this computer's clock.
    Date expiresAt;
    friend bool operator==(const PairingSheetReady&, const PairingSheetReady&) = default;
};
struct PairingSheetFailed {
    QString message;
    friend bool operator==(const PairingSheetFailed&, const PairingSheetFailed&) = default;
};
struct PairingSheetLoading {
    friend bool operator==(const PairingSheetLoading&, const PairingSheetLoading&) = default;
};
using PairingSheetPhase = std::variant<PairingSheetReady, PairingSheetFailed, PairingSheetLoading>;

// Creates a pairing code, counts its validity down and watches the account's
// sources for the phone that claims it. Main thread only.
class PairingSheetViewModel : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<Date()>;

    static constexpr std::chrono::seconds tickInterval{1};
    static constexpr std::chrono::seconds pollInterval{2};
    static constexpr int qrScale = 8;
    // The longest a code can live: an expiry further than this from the
    // service's Date, either way, means a Date not of this answer.
    static constexpr std::chrono::seconds longestLifetime{3600};

    PairingSheetViewModel(std::shared_ptr<InputSourceAPIProtocol> api, SleepFunction sleep = &sleepFor,
                          Clock now = &Date::now, QObject* parent = nullptr);
    ~PairingSheetViewModel() override;

    Published<PairingSheetPhase> phase{PairingSheetLoading{}};
    // Null while loading, after a failure, or when the code could not be drawn.
    Published<QImage> qrImage;
    // Whole seconds until the code expires, never negative.
    Published<int> remainingSeconds{0};

    // Asks for a new code (back to loading first) and starts its countdown:
    // the lifetime the service gave it (expiry less issue, both its own
    // times, the issue taken at the end of the second its Date names) from
    // the time of asking (none, so expired, when the expiry came before that
    // issue), or its expiry as it came when the service did not say when it
    // issued it or said a time more than an hour from the expiry. A failure
    // shows its text; the polling is not touched.
    void load();
    // Lists the account's sources at once and then every 2 s, through
    // failures and past the code's expiry. The sources of the first list that
    // succeeds are the baseline; `onClaimed` is called once a source that is
    // not revoked appears that is not in the baseline or was created after
    // the second the earliest code shown was issued in by the service's
    // clock; where the service gave no issue time to trust, the baseline
    // alone tells, as this computer's clock says nothing of the service's
    // created_at. Then the polling ends. Starting again replaces the running
    // polling.
    void startClaimPolling(std::function<void()> onClaimed);
    // Ends the countdown and the polling, and forgets the codes asked for.
    void stop();

    // A code of exactly six characters as "123 456"; any other as it is.
    static QString formattedCode(const QString& code);
    static QString expireText(int remainingSeconds);

private:
    void startTicking(Date expiresAt);
    static int secondsLeft(Date now, Date expiresAt);

    std::shared_ptr<InputSourceAPIProtocol> api_;
    SleepFunction sleep_;
    Clock now_;
    TaskHandle ticker_;
    TaskHandle claimPoll_;
    // When the earliest code that came was issued, by the service's clock
    // (see startClaimPolling).
    std::optional<Date> firstCodeIssuedAt_;
};

} // namespace vellamor
