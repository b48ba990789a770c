#include "SettingsWindow/HistoryDictionaryPage.h"

#include "SettingsWindow/SettingsTexts.h"
#include "Windows/CardGroup.h"
#include "Windows/InfoCard.h"
#include "Windows/ProminentButton.h"
#include "Windows/RowDivider.h"
#include "Windows/SectionHeader.h"
#include "Windows/ThemedLabel.h"
#include "Windows/ToggleSwitch.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace vellamor {

namespace {

// A symbol, a title over its explanation, and the row's control.
QWidget* statsRow(const QString& symbol, QLabel* title, QWidget* texts, QWidget* control, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = InfoCard::symbolRowLayout(row, symbol);
    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    title->setFont(WindowTheme::font(13, QFont::Medium));
    column->addWidget(title);
    column->addWidget(texts);
    column->addStretch();
    layout->addLayout(column, 1);
    layout->addWidget(control, 0, Qt::AlignTop);
    return row;
}

ThemedLabel* descriptionLabel(const QString& text, QWidget* parent)
{
    auto* label = new ThemedLabel(text, WindowTheme::font(11), &WindowTheme::secondary, parent);
    label->setWordWrap(true);
    return label;
}

QWidget* divider(QWidget* parent)
{
    auto* holder = new QWidget(parent);
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 6, 0, 6);
    layout->addWidget(new RowDivider(holder));
    return holder;
}

} // namespace


HistoryDictionaryPage::HistoryDictionaryPage(HistoryDictionaryStats::Sources sources, std::function<void()> showHistory,
                                             std::function<void()> showDictionary, QWidget* parent)
    : QWidget(parent)
    , stats_(std::make_shared<HistoryDictionaryStats>(std::move(sources)))
    , syncSwitch_(new ToggleSwitch(this))
    , syncNowButton_(new QPushButton(QStringLiteral("立即同步"), this))
{
    auto primaryLabel = [this] { return new ThemedLabel(QString(), WindowTheme::font(13), &WindowTheme::primary, this); };
    auto actionButton = [this](const QString& title, const std::function<void()>& action) {
        auto* button = new ProminentButton(title, this);
        connect(button, &QPushButton::clicked, this, [action] {
            if (action)
                action();
        });
        return button;
    };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(20);
    layout->addWidget(new SectionHeader(SettingsTexts::historyDictTitle,
                                        QStringLiteral("查看过去的录音稿件，教 Vellamor 认识专有名词"), this));

    auto* history = new CardGroup(SettingsTexts::history.title, this);
    historyTitle_ = primaryLabel();
    openHistory_ = actionButton(QStringLiteral("打开历史记录"), showHistory);
    history->addWidget(statsRow(QStringLiteral("clock.arrow.circlepath"), historyTitle_,
                                descriptionLabel(SettingsTexts::history.subtitle, this),
                                openHistory_, this));
    history->addWidget(divider(this));
    auto* syncTexts = new QWidget(this);
    auto* syncTextsLayout = new QVBoxLayout(syncTexts);
    syncTextsLayout->setContentsMargins(0, 0, 0, 0);
    syncTextsLayout->setSpacing(3);
    syncDescription_ = descriptionLabel(QString(), syncTexts);
    toggleError_ = new ThemedLabel(QString(), WindowTheme::font(11), &WindowTheme::red, syncTexts);
    toggleError_->setWordWrap(true);
    syncTextsLayout->addWidget(syncDescription_);
    syncTextsLayout->addWidget(toggleError_);
    auto* syncTitle = primaryLabel();
    syncTitle->setText(QStringLiteral("同步历史到云端"));
    history->addWidget(statsRow(QStringLiteral("icloud"), syncTitle, syncTexts, syncSwitch_, this));
    history->addWidget(divider(this));
    auto* syncNowTitle = primaryLabel();
    syncNowTitle->setText(QStringLiteral("立即同步"));
    lastSync_ = descriptionLabel(QString(), this);
    syncNowButton_->setAutoDefault(false);
    history->addWidget(
        statsRow(QStringLiteral("arrow.triangle.2.circlepath"), syncNowTitle, lastSync_, syncNowButton_, this));
    layout->addWidget(history);

    auto* dictionary = new CardGroup(SettingsTexts::dictionary, this);
    dictTitle_ = primaryLabel();
    openDictionary_ = actionButton(QStringLiteral("打开词典"), showDictionary);
    dictionary->addWidget(statsRow(QStringLiteral("character.book.closed"), dictTitle_,
                                   descriptionLabel(QStringLiteral("把人名、品牌、缩写告诉 Vellamor，识别更准。"), this),
                                   openDictionary_, this));
    layout->addWidget(dictionary);
    // The cards keep their height; the page's foot takes what is left.
    layout->addStretch(1);

    connect(syncSwitch_, &ToggleSwitch::clicked, this, [this](bool on) { stats_->setHistorySync(on); });
    connect(syncNowButton_, &QPushButton::clicked, this, [this] { stats_->triggerSyncNow(); });
    HistoryDictionaryStats& stats = *stats_;
    redraw_.follow(stats.historyCount, stats.dictCount, stats.historySyncEnabled, stats.canToggle, stats.toggleError,
                   stats.updating);
}

void HistoryDictionaryPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    stats_->refresh();
}

void HistoryDictionaryPage::showStats()
{
    const HistoryDictionaryStats& stats = *stats_;
    historyTitle_->setText(QStringLiteral("已保存 ") + stats.historyCountLabel());
    dictTitle_->setText(QStringLiteral("已收录 ") + stats.dictCountLabel());
    syncDescription_->setText(stats.syncDescription());
    toggleError_->setText(stats.toggleError.value().value_or(QString()));
    toggleError_->setVisible(stats.toggleError.value().has_value());
    lastSync_->setText(stats.lastSyncDescription());
    syncSwitch_->setChecked(stats.historySyncEnabled.value());
    syncSwitch_->setEnabled(stats.canToggle.value() && !stats.updating.value());
    syncNowButton_->setEnabled(stats.canToggle.value());
}

} // namespace vellamor
