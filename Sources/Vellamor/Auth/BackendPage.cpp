#include "Auth/BackendPage.h"

#include "Auth/AccountCard.h"
#include "Auth/AccountTexts.h"
#include "Auth/AuthSession.h"
#include "Auth/BackendDataStore.h"
#include "InputSources/InputSourceCard.h"
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

using namespace Qt::StringLiterals;

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
    return QLocale(u"zh_CN"_s).toString(date.toDateTime().toTimeZone(QTimeZone::systemTimeZone()), format);
}

// Line breaks count as text where the user's locale is trimmed.
bool isBlankNotLineBreak(QChar c)
{
    static const QString lineBreaks = u"\n\r\v\f\u0085\u2028\u2029"_s;
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
        total_->setObjectName(u"total"_s);
        rows->addLayout(titledRow(new ThemedLabel(u"可用积分"_s, WindowTheme::font(13, QFont::DemiBold),
                                                  &WindowTheme::primary, balance_),
                                  secondaryText(u"听写与润色统一从积分扣减"_s, WindowTheme::captionFont(), balance_),
                                  total_));
        rows->addWidget(new RowDivider(balance_));
        monthly_ = bucket(u"月费积分"_s, u"本月剩余，每月重置"_s, *rows);
        monthly_->setObjectName(u"monthly"_s);
        permanent_ = bucket(u"永久积分"_s, u"额外包充值，永久有效"_s, *rows);
        permanent_->setObjectName(u"permanent"_s);
        hint_ = secondaryText(QString(), WindowTheme::captionFont(), balance_);
        hint_->setObjectName(u"conversion"_s);
        hint_->setWordWrap(true);
        rows->addWidget(hint_);
        message_ = secondaryText(QString(), WindowTheme::captionFont(), this);
        message_->setObjectName(u"walletMessage"_s);
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
        label.setText(QString::number(points) + u" 积分"_s);
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
            hint_->setText(u"听写每秒约 "_s + QString::number(wallet->asrPointsPerSecond) + u" 积分，润色每次约 "_s +
                           QString::number(wallet->polishPoints) + u" 积分"_s);
        } else if (store_.loading()) {
            message_->setText(u"正在加载积分余额…"_s);
            message_->setInk(&WindowTheme::secondary);
        } else if (store_.errorText()) {
            message_->setText(*store_.errorText());
            message_->setInk(&WindowTheme::orange);
        } else {
            message_->setText(u"暂无积分数据"_s);
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
        const QString labels[] = {u"邮箱"_s, u"用户 ID"_s, u"注册时间"_s, u"上次登录"_s, u"界面语言"_s};
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
            u"#"_s + QString::number(me.userId),
            formatDate(me.createdAt, u"yyyy-MM-dd"_s),
            me.lastLoginAt ? formatDate(*me.lastLoginAt, u"yyyy-MM-dd HH:mm"_s) : u"首次登录"_s,
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
    wallet_ = new CardGroup(u"积分余额"_s, this);
    wallet_->addWidget(new WalletCard(*dataStore_, this));
    layout_->addWidget(wallet_);
    details_ = new CardGroup(u"账户信息"_s, this);
    info_ = new AccountInfoSection(this);
    details_->addWidget(info_);
    layout_->addWidget(details_);
    inputSources_ = new CardGroup(u"输入源"_s, this);
    inputSources_->setObjectName(u"inputSources"_s);
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
    header_ = new SectionHeader(AccountTexts::header.title,
                                me ? u"已登录为 "_s + me->email : AccountTexts::header.subtitle, this);
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
        return u"未设置"_s;
    const QString code = text.toLower();
    const struct {
        QStringList codes;
        QString name;
    } names[] = {
        {{u"zh"_s, u"zh-cn"_s, u"zh_cn"_s, u"zh-hans"_s}, u"中文"_s},
        {{u"zh-tw"_s, u"zh_tw"_s, u"zh-hant"_s}, u"繁體中文"_s},
        {{u"en"_s, u"en-us"_s, u"en_us"_s}, u"English"_s},
        {{u"ja"_s, u"ja-jp"_s}, u"日本語"_s},
    };
    for (const auto& entry : names) {
        if (entry.codes.contains(code))
            return entry.name;
    }
    return text;
}

} // namespace vellamor
