#include "InputSourceWindows/PairingSheetViewModel.h"

#include "InputSourceWindows/QRCodeRenderer.h"
#include "Support/Async/Outcome.h"
#include "Support/Async/Spawn.h"
#include "Support/Error.h"
#include "Support/TextGraphemes.h"

#include <QPointer>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace vellamor {

namespace {

// GCC -O1 takes a fresh variant holding no text for uninitialised; a copy
// of this constant is not.
const PairingSheetPhase& loadingPhase()
{
    static const PairingSheetPhase loading = PairingSheetLoading{};
    return loading;
}

bool isRevoked(const InputSource& source)
{
    return source.status == QStringLiteral("revoked");
}

QSet<qint64> unrevokedIDs(const QList<InputSource>& sources)
{
    QSet<qint64> ids;
    for (const InputSource& source : sources) {
        if (!isRevoked(source))
            ids.insert(source.id);
    }
    return ids;
}

// A source the service created once a code was out can only be a claim,
// whether or not a list before it succeeded. Both times are the service's:
// this computer's clock may be minutes or hours from it. The Date header
// names only the second the code was sent in, so a source counts from the
// next one on.
bool anyCreatedAfter(const QList<InputSource>& sources, std::optional<Date> issuedAt)
{
    return issuedAt && std::ranges::any_of(sources, [&](const InputSource& source) {
        return !isRevoked(source) && source.createdAt >= issuedAt->addingSeconds(1);
    });
}

// The Date the service sent, where it lies within a code's longest lifetime
// of the code's expiry: a clock set to 1970 or 9999 (or a Date from a cache)
// says nothing of when this code came. An expiry before it is a code the
// service sent already expired.
std::optional<Date> serviceIssue(const PairingInfo& pairing)
{
    if (!pairing.issuedAt)
        return std::nullopt;
    const double lifetime = pairing.expiresAt.secondsSince(*pairing.issuedAt);
    if (!(std::abs(lifetime) <= PairingSheetViewModel::longestLifetime.count()))
        return std::nullopt;
    return pairing.issuedAt;
}

} // namespace

PairingSheetViewModel::PairingSheetViewModel(std::shared_ptr<InputSourceAPIProtocol> api, SleepFunction sleep,
                                             Clock now, QObject* parent)
    : QObject(parent)
    , api_(std::move(api))
    , sleep_(std::move(sleep))
    , now_(std::move(now))
{
}

PairingSheetViewModel::~PairingSheetViewModel()
{
    stop();
}

void PairingSheetViewModel::load()
{
    phase = loadingPhase();
    qrImage = QImage();
    QPointer<PairingSheetViewModel> self(this);
    spawn(this, QStringLiteral("pairing code"), [self, api = api_, now = now_](std::stop_token) -> QCoro::Task<void> {
        const Date askedAt = now();
        const Outcome<PairingInfo> created = co_await outcomeOf(api->createPairing());
        if (!self)
            co_return;
        if (created.failure) {
            self->phase = PairingSheetFailed{userFacingDescription(created.failure)};
            co_return;
        }
        const PairingInfo& pairing = *created.value;
        const std::optional<Date> issuedAt = serviceIssue(pairing);
        // Without the service's own time of issue there is nothing its
        // created_at can be compared with: only the baseline tells a claim.
        if (issuedAt && (!self->firstCodeIssuedAt_ || *issuedAt < *self->firstCodeIssuedAt_))
            self->firstCodeIssuedAt_ = issuedAt;
        // As long on this computer's clock as the service gave it on its own,
        // counted from the asking and from the end of the second the service
        // named: it may show a little short, never long.
        const Date expiresAt = issuedAt
            ? askedAt.addingSeconds(pairing.expiresAt.secondsSince(issuedAt->addingSeconds(1)))
            : pairing.expiresAt;
        const QImage image = QRCodeRenderer::render(pairing.qrURL, qrScale);
        self->phase = PairingSheetReady{pairing.code, expiresAt};
        self->qrImage = image;
        self->startTicking(expiresAt);
    });
}

void PairingSheetViewModel::startTicking(Date expiresAt)
{
    ticker_.cancel();
    remainingSeconds = secondsLeft(now_(), expiresAt);
    QPointer<PairingSheetViewModel> self(this);
    ticker_ = TaskHandle::start(
        [self, expiresAt, sleep = sleep_, now = now_](std::stop_token token) -> QCoro::Task<void> {
            while (!token.stop_requested()) {
                co_await sleep(tickInterval, token);
                if (token.stop_requested() || !self)
                    co_return;
                self->remainingSeconds = secondsLeft(now(), expiresAt);
            }
        });
}

void PairingSheetViewModel::startClaimPolling(std::function<void()> onClaimed)
{
    claimPoll_.cancel();
    QPointer<PairingSheetViewModel> self(this);
    claimPoll_ = TaskHandle::start([self, api = api_, sleep = sleep_,
                                    onClaimed = std::move(onClaimed)](std::stop_token token) -> QCoro::Task<void> {
        // Taken before the code can have been scanned, so that no source
        // bound meanwhile (on another computer, say) counts as this claim.
        std::optional<QSet<qint64>> baseline;
        for (bool first = true; !token.stop_requested(); first = false) {
            if (!first)
                co_await sleep(pollInterval, token);
            if (token.stop_requested() || !self)
                co_return;
            QList<InputSource> sources;
            try {
                sources = co_await api->list();
            } catch (...) {
                continue;
            }
            if (token.stop_requested() || !self)
                co_return;
            QSet<qint64> ids = unrevokedIDs(sources);
            if (anyCreatedAfter(sources, self->firstCodeIssuedAt_)
                || (baseline && !ids.subtract(*baseline).isEmpty())) {
                onClaimed();
                co_return;
            }
            if (!baseline)
                baseline = std::move(ids);
        }
    });
}

void PairingSheetViewModel::stop()
{
    ticker_.cancel();
    claimPoll_.cancel();
    firstCodeIssuedAt_.reset();
}

int PairingSheetViewModel::secondsLeft(Date now, Date expiresAt)
{
    // A far "never" (9999-12-31) does not fit an int; NaN fails the test.
    const double left = expiresAt.secondsSince(now);
    if (!(left > 0))
        return 0;
    return int(std::min(std::trunc(left), double(std::numeric_limits<int>::max())));
}

QString PairingSheetViewModel::formattedCode(const QString& code)
{
    if (graphemeCount(code) != 6)
        return code;
    const QString head = graphemePrefix(code, 3);
    return head + u' ' + code.mid(head.size());
}

QString PairingSheetViewModel::expireText(int remainingSeconds)
{
    if (remainingSeconds <= 0)
        return QStringLiteral("二维码已过期，请点击取消后重新添加");
    if (remainingSeconds < 60)
        return QStringLiteral("二维码有效期 ") + QString::number(remainingSeconds) + QStringLiteral(" 秒");
    return QStringLiteral("二维码有效期 ") + QString::number(remainingSeconds / 60) + QStringLiteral(" 分 ")
        + QString::number(remainingSeconds % 60) + QStringLiteral(" 秒");
}

} // namespace vellamor
