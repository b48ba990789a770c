#include "SettingsWindow/GeneralPage.h"

#include "Logging/VellamorLog.h"
#include "Platform/LoginItem/LaunchAtLogin.h"
#include "SettingsWindow/ErrorText.h"
#include "SettingsWindow/SettingsStoreObservable.h"
#include "SettingsWindow/SettingsTexts.h"
#include "Support/Error.h"
#include "Windows/CardGroup.h"
#include "Windows/RowDivider.h"
#include "Windows/SectionHeader.h"
#include "Windows/SettingsRow.h"
#include "Windows/SymbolView.h"
#include "Windows/ThemedLabel.h"
#include "Windows/ToggleSwitch.h"
#include "Windows/WindowTheme.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <array>

namespace vellamor {

namespace {

const std::array<std::pair<QString, QString>, 3> languages{{
    {QStringLiteral("自动识别"), QStringLiteral("auto")},
    {QStringLiteral("中文"), QStringLiteral("zh")},
    {QStringLiteral("English"), QStringLiteral("en")},
}};

} // namespace

GeneralPage::GeneralPage(SettingsStoreObservable& obs, std::shared_ptr<LaunchAtLogin> launchAtLogin, QWidget* parent)
    : QWidget(parent)
    , launchAtLogin_(std::move(launchAtLogin))
    , languagePicker_(new QComboBox(this))
    , polishSwitch_(new ToggleSwitch(this))
    , launchSwitch_(new ToggleSwitch(this))
    , launchError_(new QWidget(this))
    , launchErrorText_(new ThemedLabel(QString(), WindowTheme::captionFont(), &WindowTheme::secondary, launchError_))
{
    for (const auto& [label, value] : languages)
        languagePicker_->addItem(label, value);
    languagePicker_->setFixedWidth(150);
    languagePicker_->setFont(WindowTheme::font(13));
    connect(languagePicker_, &QComboBox::activated, this,
            [this, &obs](int index) { obs.language.set(languagePicker_->itemData(index).toString()); });
    languageSubscription_ = obs.language.subscribe(
        [this](const QString& language) { languagePicker_->setCurrentIndex(languagePicker_->findData(language)); });
    connect(polishSwitch_, &ToggleSwitch::clicked, this, [&obs](bool on) { obs.enableLLMPolish.set(on); });
    polishSubscription_ = obs.enableLLMPolish.subscribe([this](bool on) { polishSwitch_->setChecked(on); });

    launchSwitch_->setChecked(launchItemEnabled());
    // Only the user's clicks apply: putting the switch back must not run again.
    connect(launchSwitch_, &ToggleSwitch::clicked, this, &GeneralPage::applyLaunchAtLogin);

    auto* errorLayout = new QHBoxLayout(launchError_);
    errorLayout->setContentsMargins(0, 6, 0, 0);
    errorLayout->setSpacing(8);
    errorLayout->addWidget(new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 12, &WindowTheme::orange,
                                          launchError_),
                           0, Qt::AlignTop);
    launchErrorText_->setWordWrap(true);
    errorLayout->addWidget(launchErrorText_, 1);
    launchError_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(20);
    layout->addWidget(new SectionHeader(SettingsTexts::generalTitle, QStringLiteral("语言、润色偏好与启动行为"), this));
    auto* language = new CardGroup(QStringLiteral("语言与润色"), this);
    language->addWidget(
        new SettingsRow(SettingsTexts::language.title, SettingsTexts::language.subtitle, languagePicker_, this));
    language->addWidget(new RowDivider(this));
    language->addWidget(
        new SettingsRow(SettingsTexts::polish.title, SettingsTexts::polish.subtitle, polishSwitch_, this));
    layout->addWidget(language);
    auto* launch = new CardGroup(QStringLiteral("启动行为"), this);
    launch->addWidget(new SettingsRow(SettingsTexts::launchAtLogin.title, SettingsTexts::launchAtLogin.subtitle,
                                      launchSwitch_, this));
    launch->addWidget(launchError_);
    layout->addWidget(launch);
    // The cards keep their height; the page's foot takes what is left.
    layout->addStretch(1);
}

QString GeneralPage::notAdoptedMessage()
{
    return QStringLiteral("系统未采纳该设置，请检查 ~/.config/autostart 中的 Vellamor 启动项。");
}

QString GeneralPage::describe(std::exception_ptr error)
{
    return QStringLiteral("未能更新登录项：") + userFacingDescription(std::move(error));
}

std::optional<QString> GeneralPage::launchErrorMessage() const
{
    if (launchError_->isHidden())
        return std::nullopt;
    return launchErrorText_->text();
}

void GeneralPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    const bool actual = launchItemEnabled();
    if (actual != launchSwitch_->isChecked()) {
        launchSwitch_->setChecked(actual);
        showLaunchError(noText());
    }
}

void GeneralPage::applyLaunchAtLogin(bool enabled)
{
    showLaunchError(noText());
    std::exception_ptr failure;
    try {
        if (launchAtLogin_)
            launchAtLogin_->setEnabled(enabled);
    } catch (...) {
        failure = std::current_exception();
    }
    const bool actual = launchItemEnabled();
    if (failure) {
        VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("settings"))
            .warn(QStringLiteral("launch at login not changed: ") + describeException(failure));
        launchSwitch_->setChecked(actual);
        showLaunchError(describe(failure));
    } else if (actual != enabled) {
        launchSwitch_->setChecked(actual);
        showLaunchError(notAdoptedMessage());
    }
}

void GeneralPage::showLaunchError(const std::optional<QString>& message)
{
    launchErrorText_->setText(message.value_or(QString()));
    launchError_->setVisible(message.has_value());
}

bool GeneralPage::launchItemEnabled() const
{
    return launchAtLogin_ && launchAtLogin_->isEnabled();
}

} // namespace vellamor
