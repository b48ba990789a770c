#include "AccountWindows/BackendPage.h"

#include "AccountWindows/AccountCard.h"
#include "AccountWindows/AccountTexts.h"
#include "AccountWindows/BackendDataStore.h"
#include "Auth/AuthSession.h"
#include "InputSourceWindows/InputSourceCard.h"
#include "Windows/CardGroup.h"
#include "Windows/RowDivider.h"
#include "Windows/SectionHeader.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowServices.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QLocale>
#include <QTimeZone>
#include <QVBoxLayout>

namespace vellamor {

namespace {

ThemedLabel* secondaryText(const QString& text, const QFont& font, QWidget* parent)
{
    return new ThemedLabel(text, font, &WindowTheme::secondary, parent);
}

// A title over a hint on the left, `value` on the right.
QHBoxLayout* titledRow(QLabel* title, QLabel* hint, QLabel* value)
{
    auto* words = new QVBoxLayout();
    words->setSpacing(2);
    words->addWidget(title);
    words->addWidget(hint);
    auto* row = new QHBoxLayout();
    row->setContentsMargins(0, 0, 0, 0);
    row->addLayout(words);
    row->addStretch();
    row->addWidget(value, 0, Qt::AlignTop);
    return row;
}

QString formatDate(const Date& date, const QString& format)
{
    return QLocale(QStringLiteral("zh_CN")).toString(date.toDateTime().toTimeZone(QTimeZone::systemTimeZone()), format);
}

// Line breaks count as text where the user's locale is trimmed.
bool isBlankNotLineBreak(QChar c)
{
    static const QString lineBreaks = QStringLiteral("\n\r\v\f\u0085\u2028\u2029");
    return c.isSpace() && !lineBreaks.contains(c);
}

} // namespace

// The points balance, or why there is none.
class WalletCard : public QWidget {
public:
    WalletCard(BackendDataStore& store, QWidget* parent)
        : QWidget(parent)
        , store_(store)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(12);
        balance_ = new QWidget(this);
        auto* rows = new QVBoxLayout(balance_);
        rows->setContentsMargins(0, 0, 0, 0);
        rows->setSpacing(12);
        total_ = new ThemedLabel(QString(), WindowTheme::font(20, QFont::DemiBold), &WindowTheme::accent, balance_);
        total_->setObjectName(QStringLiteral("total"));
        rows->addLayout(titledRow(new ThemedLabel(QStringLiteral("可用积分"), WindowTheme::font(13, QFont::DemiBold),
                                      &WindowTheme::primary, balance_),
            secondaryText(QStringLiteral("听写与润色统一从积分扣减"), WindowTheme::captionFont(), balance_), total_));
        rows->addWidget(new RowDivider(balance_));
        monthly_ = bucket(QStringLiteral("月费积分"), QStringLiteral("本月剩余，每月重置"), *rows);
        monthly_->setObjectName(QStringLiteral("monthly"));
        permanent_ = bucket(QStringLiteral("永久积分"), QStringLiteral("额外包充值，永久有效"), *rows);
        permanent_->setObjectName(QStringLiteral("permanent"));
        hint_ = secondaryText(QString(), WindowTheme::captionFont(), balance_);
        hint_->setObjectName(QStringLiteral("conversion"));
        hint_->setWordWrap(true);
        rows->addWidget(hint_);
        message_ = secondaryText(QString(), WindowTheme::captionFont(), this);
        message_->setObjectName(QStringLiteral("walletMessage"));
        message_->setWordWrap(true);
        layout->addWidget(balance_);
        layout->addWidget(message_);
        connect(&store_, &BackendDataStore::changed, this, &WalletCard::render);
        render();
    }

private:
    ThemedLabel* bucket(const QString& title, const QString& hint, QVBoxLayout& rows)
    {
        auto* points = new ThemedLabel(QString(), WindowTheme::monospacedFont(12), &WindowTheme::secondary, balance_);
        rows.addLayout(titledRow(new ThemedLabel(title, WindowTheme::font(12, QFont::Medium), &WindowTheme::primary,
                                                 balance_),
                                 secondaryText(hint, WindowTheme::captionFont(), balance_), points));
        return points;
    }

    static void showPoints(ThemedLabel& label, qint64 points)
    {
        label.setText(QString::number(points) + QStringLiteral(" 积分"));
        label.setInk(points < 0 ? &WindowTheme::orange : &WindowTheme::secondary);
    }

    void render()
    {
        const std::optional<WalletInfo>& wallet = store_.wallet();
        balance_->setVisible(wallet.has_value());
        message_->setVisible(!wallet);
        if (wallet) {
            const qint64 total = std::max<qint64>(wallet->total, 0);
            total_->setText(QString::number(total));
            total_->setInk(total > 0 ? &WindowTheme::accent : &WindowTheme::secondary);
            showPoints(*monthly_, wallet->monthlyPoints);
            showPoints(*permanent_, wallet->permanentPoints);
            hint_->setText(QStringLiteral("听写每秒约 ") + QString::number(wallet->asrPointsPerSecond)
                + QStringLiteral(" 积分，润色每次约 ") + QString::number(wallet->polishPoints)
                + QStringLiteral(" 积分"));
        } else if (store_.loading()) {
            message_->setText(QStringLiteral("正在加载积分余额…"));
            message_->setInk(&WindowTheme::secondary);
        } else if (store_.errorText()) {
            message_->setText(*store_.errorText());
            message_->setInk(&WindowTheme::orange);
        } else {
            message_->setText(QStringLiteral("暂无积分数据"));
            message_->setInk(&WindowTheme::secondary);
        }
    }

    BackendDataStore& store_;
    QWidget* balance_;
    ThemedLabel* total_;
    ThemedLabel* monthly_;
    ThemedLabel* permanent_;
    ThemedLabel* hint_;
    ThemedLabel* message_;
};

// The signed-in account's address, number, dates and language.
class AccountInfoSection : public QWidget {
public:
    explicit AccountInfoSection(QWidget* parent)
        : QWidget(parent)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        const QString labels[] = { QStringLiteral("邮箱"), QStringLiteral("用户 ID"), QStringLiteral("注册时间"),
            QStringLiteral("上次登录"), QStringLiteral("界面语言") };
        for (const QString& label : labels) {
            if (!values_.isEmpty())
                layout->addWidget(new RowDivider(this));
            layout->addLayout(row(label));
        }
    }

    void setMe(const AuthMe& me)
    {
        const QString values[] = {
            me.email,
            QStringLiteral("#") + QString::number(me.userId),
            formatDate(me.createdAt, QStringLiteral("yyyy-MM-dd")),
            me.lastLoginAt ? formatDate(*me.lastLoginAt, QStringLiteral("yyyy-MM-dd HH:mm"))
                           : QStringLiteral("首次登录"),
            BackendPage::formatLocale(me.locale),
        };
        for (qsizetype i = 0; i < values_.size(); ++i) {
            values_[i]->setText(values[i]);
            values_[i]->setAccessibleName(values[i]);
        }
    }

private:
    QHBoxLayout* row(const QString& label)
    {
        auto* name = secondaryText(label, WindowTheme::font(12), this);
        name->setFixedWidth(84);
        auto* value = new ThemedLabel(QString(), WindowTheme::monospacedFont(12), &WindowTheme::primary, this);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        values_.append(value);
        auto* line = new QHBoxLayout();
        line->setContentsMargins(0, 6, 0, 6);
        line->setSpacing(12);
        line->addWidget(name);
        line->addWidget(value, 1);
        return line;
    }

    QList<ThemedLabel*> values_;
};

BackendPage::BackendPage(const AccountServices& account, const WindowServices& services, QWidget* parent)
    : QWidget(parent)
    , dataStore_(new BackendDataStore(account.session->publisher(), services.usage(), services.wallet(), this))
{
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(20);
    const std::shared_ptr<AuthSessionObserver>& observer = account.session->publisher();
    auto* card = new CardGroup(std::nullopt, this);
    card->addWidget(new AccountCard(account.session, *account.signIn, account.defaults));
    // The card's faces would share out the room the signed-in cards leave.
    layout_->addWidget(card, 0, Qt::AlignTop);
    wallet_ = new CardGroup(QStringLiteral("积分余额"), this);
    wallet_->addWidget(new WalletCard(*dataStore_, this));
    layout_->addWidget(wallet_);
    details_ = new CardGroup(QStringLiteral("账户信息"), this);
    info_ = new AccountInfoSection(this);
    details_->addWidget(info_);
    layout_->addWidget(details_);
    inputSources_ = new CardGroup(QStringLiteral("输入源"), this);
    inputSources_->setObjectName(QStringLiteral("inputSources"));
    inputSources_->addWidget(new InputSourceCard(services.inputSources, observer, account.inputSourceListChanged, this));
    layout_->addWidget(inputSources_);
    layout_->addStretch();

    // Delivered once the session holds the state; the first delivery is the
    // page coming up, later ones are changes.
    render(observer->state());
    stateSubscription_ = observer->subscribeStateQueued(this, [this, first = true](const AuthState& state) mutable {
        if (!first && state == shown_)
            return;
        first = false;
        render(state);
        if (state.isAuthenticated())
            dataStore_->reload();
        else
            dataStore_->reset();
    });
}

BackendPage::~BackendPage()
{
    stateSubscription_.cancel();
}

void BackendPage::render(const AuthState& state)
{
    shown_ = state;
    const std::optional<AuthMe>& me = state.me();
    delete header_;
    header_ = new SectionHeader(
        AccountTexts::header.title, me ? QStringLiteral("已登录为 ") + me->email : AccountTexts::header.subtitle, this);
    layout_->insertWidget(0, header_);
    wallet_->setVisible(me.has_value());
    details_->setVisible(me.has_value());
    inputSources_->setVisible(me.has_value());
    if (me)
        info_->setMe(*me);
}

QString BackendPage::formatLocale(const QString& locale)
{
    qsizetype start = 0;
    qsizetype end = locale.size();
    while (start < end && isBlankNotLineBreak(locale[start]))
        ++start;
    while (end > start && isBlankNotLineBreak(locale[end - 1]))
        --end;
    const QString text = locale.mid(start, end - start);
    if (text.isEmpty())
        return QStringLiteral("未设置");
    const QString code = text.toLower();
    const struct {
        QStringList codes;
        QString name;
    } names[] = {
        { { QStringLiteral("zh"), QStringLiteral("zh-cn"), QStringLiteral("zh_cn"), QStringLiteral("zh-hans") },
            QStringLiteral("中文") },
        { { QStringLiteral("zh-tw"), QStringLiteral("zh_tw"), QStringLiteral("zh-hant") }, QStringLiteral("繁體中文") },
        { { QStringLiteral("en"), QStringLiteral("en-us"), QStringLiteral("en_us") }, QStringLiteral("English") },
        { { QStringLiteral("ja"), QStringLiteral("ja-jp") }, QStringLiteral("日本語") },
    };
    for (const auto& entry : names) {
        if (entry.codes.contains(code))
            return entry.name;
    }
    return text;
}

} // namespace vellamor
