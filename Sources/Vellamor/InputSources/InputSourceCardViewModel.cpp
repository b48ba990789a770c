#include "InputSources/InputSourceCardViewModel.h"

#include "Support/Async/Spawn.h"
#include "SettingsWindow/ErrorText.h"
#include "Support/Error.h"

#include <QPointer>

namespace vellamor {

using namespace Qt::StringLiterals;

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
    spawn(this, u"input source reload"_s, [self, api = api_](std::stop_token) -> QCoro::Task<void> {
        QList<InputSource> listed;
        std::exception_ptr failure;
        try {
            listed = co_await api->list();
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self)
            co_return;
        if (failure) {
            self->errorText = userFacingDescription(failure);
        } else {
            listed.removeIf([](const InputSource& source) { return source.status == u"revoked"_s; });
            self->items = std::move(listed);
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
    spawn(this, u"input source revocation"_s, [self, api = api_, id](std::stop_token) -> QCoro::Task<void> {
        std::exception_ptr failure;
        try {
            co_await api->revoke(id);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self)
            co_return;
        if (failure) {
            self->errorText = userFacingDescription(failure);
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
