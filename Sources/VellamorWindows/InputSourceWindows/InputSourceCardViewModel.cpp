#include "InputSourceWindows/InputSourceCardViewModel.h"

#include "SettingsWindow/ErrorText.h"
#include "Support/Async/Outcome.h"
#include "Support/Async/Spawn.h"
#include "Support/Error.h"

#include <QPointer>

namespace vellamor {

InputSourceCardViewModel::InputSourceCardViewModel(std::shared_ptr<InputSourceAPIProtocol> api, QObject* parent)
    : QObject(parent)
    , api_(std::move(api))
{
}

void InputSourceCardViewModel::reload(bool authenticated)
{
    if (!authenticated) {
        items = QList<InputSource>();
        errorText = noText();
        return;
    }
    loading = true;
    QPointer<InputSourceCardViewModel> self(this);
    spawn(this, QStringLiteral("input source reload"), [self, api = api_](std::stop_token) -> QCoro::Task<void> {
        Outcome<QList<InputSource>> listed = co_await outcomeOf(api->list());
        if (!self)
            co_return;
        if (listed.failure) {
            self->errorText = userFacingDescription(listed.failure);
        } else {
            QList<InputSource>& shown = *listed.value;
            shown.removeIf([](const InputSource& source) { return source.status == QStringLiteral("revoked"); });
            self->items = std::move(shown);
            self->errorText = noText();
            self->reloadTick = self->reloadTick.value() + 1;
        }
        self->loading = false;
    });
}

void InputSourceCardViewModel::revoke(const InputSource& source)
{
    const qint64 id = source.id;
    revokingID = id;
    QPointer<InputSourceCardViewModel> self(this);
    spawn(
        this, QStringLiteral("input source revocation"), [self, api = api_, id](std::stop_token) -> QCoro::Task<void> {
            const Outcome<void> revoked = co_await outcomeOf(api->revoke(id));
            if (!self)
                co_return;
            if (revoked.failure) {
                self->errorText = userFacingDescription(revoked.failure);
            } else {
                QList<InputSource> kept = self->items.value();
                kept.removeIf([id](const InputSource& item) { return item.id == id; });
                self->items = std::move(kept);
                self->errorText = noText();
            }
            self->revokingID = std::nullopt;
        });
}

} // namespace vellamor
