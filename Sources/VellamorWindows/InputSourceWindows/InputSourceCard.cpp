#include "InputSourceWindows/InputSourceCard.h"

#include "Auth/AuthSessionObserver.h"
#include "InputSourceWindows/InputSourceList.h"
#include "Windows/ProminentButton.h"
#include "Windows/ThemedLabel.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace vellamor {

InputSourceCard::InputSourceCard(WindowServices::Factory<InputSourceAPIProtocol> clients,
                                 std::shared_ptr<AuthSessionObserver> auth,
                                 const AccountServices::ChangeSubscriber& listChanged, QWidget* parent)
    : QWidget(parent)
    , clients_(std::move(clients))
    , auth_(std::move(auth))
    , viewModel_(new InputSourceCardViewModel(clients_(), this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto* header = new QHBoxLayout();
    auto* titles = new QVBoxLayout();
    titles->setSpacing(2);
    titles->addWidget(
        new ThemedLabel(QStringLiteral("输入源"), WindowTheme::font(13, QFont::DemiBold), &WindowTheme::primary, this));
    titles->addWidget(captionLabel(QStringLiteral("手机浏览器扫码后可将语音直接插入到当前光标位置"), this));
    header->addLayout(titles);
    header->addStretch();
    auto* add = new ProminentButton(QStringLiteral("添加输入源"), this);
    add->setSymbol(QStringLiteral("plus"), 10);
    add_ = add;
    header->addWidget(add_, 0, Qt::AlignTop);
    layout->addLayout(header);
    connect(add_, &QPushButton::clicked, this, &InputSourceCard::presentSheet);

    placeholder_ = captionLabel(QString(), this);
    placeholder_->setObjectName(QStringLiteral("placeholder"));
    placeholder_->setTextFormat(Qt::PlainText);
    layout->addWidget(placeholder_);
    list_ = new InputSourceList(this);
    list_->setAccessibleName(QStringLiteral("输入源"));
    list_->onRevoke = [this](const InputSource& source) { viewModel_->revoke(source); };
    layout->addWidget(list_);
    error_ = new ThemedLabel(QString(), WindowTheme::captionFont(), &WindowTheme::orange, this);
    error_->setObjectName(QStringLiteral("error"));
    error_->setTextFormat(Qt::PlainText);
    error_->setWordWrap(true);
    layout->addWidget(error_);

    redraw_.follow(viewModel_->items, viewModel_->loading, viewModel_->revokingID, viewModel_->errorText);
    // The first delivery is the state the card came up in, which showing it
    // loads; later ones that differ are changes. A hidden card loads when it
    // is shown, but forgets a signed-out account's sources at once.
    subscriptions_.push_back(
        auth_->subscribeStateQueued(this, [this, last = std::optional<AuthState>()](const AuthState& state) mutable {
            add_->setEnabled(state.isAuthenticated());
            const bool changed = last && *last != state;
            last = state;
            if (changed && (isVisible() || !state.isAuthenticated()))
                reload();
        }));
    if (listChanged)
        listChanged(this, [this] { reload(); });
    add_->setEnabled(auth_->state().isAuthenticated());
    renderList();
}

InputSourceCard::~InputSourceCard()
{
    // The sheet is a window of its own and would outlive the card's client.
    delete sheet_.data();
}

void InputSourceCard::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        reload();
}

void InputSourceCard::reload()
{
    viewModel_->reload(auth_->state().isAuthenticated());
}

void InputSourceCard::presentSheet()
{
    if (sheet_)
        return;
    sheet_ = new PairingSheet(clients_(), &sleepFor, &Date::now, window());
    sheet_->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet_, &QDialog::finished, this, &InputSourceCard::reload);
    sheet_->open();
}

void InputSourceCard::renderList()
{
    const QList<InputSource>& items = viewModel_->items.value();
    list_->setSources(items, viewModel_->revokingID.value());
    list_->setVisible(!items.isEmpty());
    placeholder_->setVisible(items.isEmpty());
    placeholder_->setText(
        viewModel_->loading.value() ? QStringLiteral("正在加载…") : QStringLiteral("尚未绑定输入源，点击右上角添加"));
    const std::optional<QString>& error = viewModel_->errorText.value();
    error_->setVisible(error.has_value());
    error_->setText(error.value_or(QString()));
}

} // namespace vellamor
