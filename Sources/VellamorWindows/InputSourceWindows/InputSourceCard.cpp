#include "InputSourceWindows/InputSourceCard.h"

#include "AccountWindows/RelativeTimeText.h"
#include "Auth/AuthSessionObserver.h"
#include "Windows/PaintKit.h"
#include "Windows/ProminentButton.h"
#include "Windows/RowDivider.h"
#include "Windows/SymbolView.h"
#include "Windows/ThemedLabel.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace vellamor {

namespace {

// "待确认": orange on an orange capsule.
class PendingPill final : public ThemedLabel {
public:
    explicit PendingPill(QWidget* parent)
        : ThemedLabel(QStringLiteral("待确认"), WindowTheme::font(10, QFont::DemiBold), &WindowTheme::orange, parent)
    {
        setContentsMargins(6, 1, 6, 1);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF capsule = rect();
        painter.fillPath(PaintKit::continuousRoundedRect(capsule, capsule.height() / 2),
                         PaintKit::withOpacity(WindowTheme::orange(), 0.18));
        painter.end();
        ThemedLabel::paintEvent(event);
    }
};

QString symbolFor(const QString& kind)
{
    if (kind == QStringLiteral("web"))
        return QStringLiteral("safari");
    if (kind == QStringLiteral("ime"))
        return QStringLiteral("keyboard");
    return QStringLiteral("microphone");
}

} // namespace

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
    layout->addWidget(placeholder_);
    rows_ = new QWidget(this);
    rowLayout_ = new QVBoxLayout(rows_);
    rowLayout_->setContentsMargins(0, 0, 0, 0);
    rowLayout_->setSpacing(0);
    layout->addWidget(rows_);
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
    clearLayout(rowLayout_);
    for (const InputSource& source : items) {
        if (rowLayout_->count() > 0)
            rowLayout_->addWidget(new RowDivider(rows_));
        rowLayout_->addWidget(row(source));
    }
    rows_->setVisible(!items.isEmpty());
    placeholder_->setVisible(items.isEmpty());
    placeholder_->setText(
        viewModel_->loading.value() ? QStringLiteral("正在加载…") : QStringLiteral("尚未绑定输入源，点击右上角添加"));
    const std::optional<QString>& error = viewModel_->errorText.value();
    error_->setVisible(error.has_value());
    error_->setText(error.value_or(QString()));
}

QWidget* InputSourceCard::row(const InputSource& source)
{
    auto* line = new QWidget(rows_);
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 6, 0, 6);
    layout->setSpacing(12);
    auto* icon = new SymbolView(symbolFor(source.kind), 18, &WindowTheme::secondary, line);
    icon->setFixedWidth(22);
    layout->addWidget(icon, 0, Qt::AlignTop);

    auto* words = new QVBoxLayout();
    words->setSpacing(2);
    auto* title = new QHBoxLayout();
    title->setSpacing(6);
    auto* name = new ThemedLabel(displayName(source), WindowTheme::font(13, QFont::Medium), &WindowTheme::primary, line);
    name->setObjectName(QStringLiteral("sourceName"));
    name->setTextFormat(Qt::PlainText);
    title->addWidget(name);
    if (source.status == QStringLiteral("pending"))
        title->addWidget(new PendingPill(line), 0, Qt::AlignVCenter);
    title->addStretch();
    words->addLayout(title);
    auto* detail = captionLabel(secondaryLine(source, Date::now()), line);
    detail->setTextFormat(Qt::PlainText);
    words->addWidget(detail);
    layout->addLayout(words, 1);
    layout->addSpacing(12);

    if (viewModel_->revokingID.value() == source.id) {
        auto* busy = new QProgressBar(line);
        busy->setRange(0, 0);
        busy->setTextVisible(false);
        busy->setFixedSize(40, 8);
        layout->addWidget(busy, 0, Qt::AlignVCenter);
    } else {
        auto* revoke = new QPushButton(QStringLiteral("撤销"), line);
        revoke->setFlat(true);
        revoke->setAutoDefault(false);
        QPalette red = revoke->palette();
        red.setColor(QPalette::ButtonText, WindowTheme::red());
        revoke->setPalette(red);
        connect(revoke, &QPushButton::clicked, this, [this, source] { viewModel_->revoke(source); });
        layout->addWidget(revoke, 0, Qt::AlignVCenter);
    }
    return line;
}

QString InputSourceCard::displayName(const InputSource& source)
{
    if (!source.friendlyName.isEmpty())
        return source.friendlyName;
    if (!source.name.isEmpty())
        return source.name;
    if (source.kind == QStringLiteral("web"))
        return QStringLiteral("手机浏览器");
    if (source.kind == QStringLiteral("ime"))
        return QStringLiteral("输入法");
    return QStringLiteral("输入源");
}

QString InputSourceCard::secondaryLine(const InputSource& source, Date now)
{
    QString line = QStringLiteral("绑定于 ") + relativeTimeText(source.createdAt, now, RelativeTimeStyle::abbreviated);
    if (source.lastUsedAt)
        line += QStringLiteral(" · 最后使用 ")
            + relativeTimeText(*source.lastUsedAt, now, RelativeTimeStyle::abbreviated);
    return line;
}

} // namespace vellamor
