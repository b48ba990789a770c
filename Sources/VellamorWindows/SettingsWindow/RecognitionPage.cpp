#include "SettingsWindow/RecognitionPage.h"

#include "Auth/AuthSessionObserver.h"
#include "SettingsWindow/ErrorText.h"
#include "SettingsWindow/RefreshButton.h"
#include "SettingsWindow/SettingsStoreObservable.h"
#include "SettingsWindow/SettingsTexts.h"
#include "Support/Async/Spawn.h"
#include "Windows/CardGroup.h"
#include "Windows/RowDivider.h"
#include "Windows/SectionHeader.h"
#include "Windows/SettingsRow.h"
#include "Windows/StatusPill.h"
#include "Windows/ToggleSwitch.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QComboBox>
#include <QLabel>
#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>

#include <array>

namespace vellamor {

namespace {

using Choices = std::array<std::pair<QString, QString>, 4>;

const Choices scenes{{
    {QStringLiteral("通用"), QStringLiteral("general")},
    {QStringLiteral("邮件"), QStringLiteral("email")},
    {QStringLiteral("聊天"), QStringLiteral("chat")},
    {QStringLiteral("代码"), QStringLiteral("code")},
}};
const std::array<std::pair<QString, QString>, 3> styles{{
    {QStringLiteral("保留原样"), QStringLiteral("original")},
    {QStringLiteral("正式"), QStringLiteral("formal")},
    {QStringLiteral("随意"), QStringLiteral("casual")},
}};


// A picker of fixed choices bound to a text preference.
template<typename List>
QComboBox* choicePicker(const List& choices, BoundField<QString>& field, std::vector<Subscription>& subscriptions,
                        QWidget* parent)
{
    auto* picker = new QComboBox(parent);
    for (const auto& [label, value] : choices)
        picker->addItem(label, value);
    picker->setFixedWidth(130);
    picker->setFont(WindowTheme::font(13));
    QObject::connect(picker, &QComboBox::activated, parent,
                     [picker, &field](int index) { field.set(picker->itemData(index).toString()); });
    subscriptions.push_back(
        field.subscribe([picker](const QString& value) { picker->setCurrentIndex(picker->findData(value)); }));
    return picker;
}

// A slot for a control that is replaced as a whole.
QWidget* controlSlot(QWidget* parent)
{
    auto* slot = new QWidget(parent);
    auto* layout = new QHBoxLayout(slot);
    layout->setContentsMargins(0, 0, 0, 0);
    return slot;
}

void showPill(QWidget* slot, const QString& text, PillTone tone)
{
    clearLayout(slot->layout());
    slot->layout()->addWidget(new StatusPill(text, tone, std::nullopt, slot));
}

} // namespace


RecognitionPage::RecognitionPage(SettingsStoreObservable& obs, std::shared_ptr<AuthSessionObserver> auth,
                                 std::shared_ptr<ModelAPIProtocol> models, QWidget* parent)
    : QWidget(parent)
    , obs_(obs)
    , auth_(std::move(auth))
    , store_(std::make_shared<LLMModelListStore>(std::move(models)))
    , sceneAutoDetect_(new ToggleSwitch(this))
    , scenePicker_(choicePicker(scenes, obs_.scene, subscriptions_, this))
    , stylePicker_(choicePicker(styles, obs_.style, subscriptions_, this))
    , modelPicker_(new QComboBox(this))
    , refreshButton_(new RefreshButton(QStringLiteral("刷新模型"), this))
    , insertPill_(controlSlot(this))
    , polishPill_(controlSlot(this))
{
    connect(sceneAutoDetect_, &ToggleSwitch::clicked, this, [this](bool on) { obs_.sceneAutoDetect.set(on); });
    subscriptions_.push_back(obs_.sceneAutoDetect.subscribe([this](bool on) { sceneAutoDetect_->setChecked(on); }));

    auto* modelControl = new QWidget(this);
    auto* modelLayout = new QHBoxLayout(modelControl);
    modelLayout->setContentsMargins(0, 0, 0, 0);
    modelLayout->setSpacing(8);
    modelPicker_->setFixedWidth(180);
    modelPicker_->setFont(WindowTheme::font(13));
    modelLayout->addWidget(modelPicker_);
    modelLayout->addWidget(refreshButton_);
    connect(modelPicker_, &QComboBox::activated, this, [this](int index) {
        const QString name = modelPicker_->itemData(index).toString();
        obs_.selectedLLMProviderName.set(name.isEmpty() ? noText() : std::optional<QString>(name));
    });
    connect(refreshButton_, &QToolButton::clicked, this, &RecognitionPage::reloadModels);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(20);
    layout->addWidget(
        new SectionHeader(SettingsTexts::recognitionTitle, QStringLiteral("针对不同使用场景调整识别与润色策略"), this));
    auto* scene = new CardGroup(QStringLiteral("场景"), this);
    scene->addWidget(new SettingsRow(SettingsTexts::sceneAutoDetect.title, SettingsTexts::sceneAutoDetect.subtitle,
                                     sceneAutoDetect_, this));
    scene->addWidget(new RowDivider(this));
    scene->addWidget(new SettingsRow(SettingsTexts::defaultScene.title, SettingsTexts::defaultScene.subtitle,
                                     scenePicker_, this));
    layout->addWidget(scene);
    auto* style = new CardGroup(QStringLiteral("风格"), this);
    style->addWidget(new SettingsRow(SettingsTexts::polishStyle.title, SettingsTexts::polishStyle.subtitle,
                                     stylePicker_, this));
    style->addWidget(new RowDivider(this));
    modelRow_ = new SettingsRow(QStringLiteral("润色模型"), QString(), modelControl, this);
    style->addWidget(modelRow_);
    layout->addWidget(style);
    auto* output = new CardGroup(QStringLiteral("输出"), this);
    output->addWidget(new SettingsRow(SettingsTexts::insertedText.title, SettingsTexts::insertedText.subtitle,
                                      insertPill_, this));
    output->addWidget(new RowDivider(this));
    output->addWidget(new SettingsRow(SettingsTexts::polishStatus.title, SettingsTexts::polishStatus.subtitle,
                                      polishPill_, this));
    layout->addWidget(output);
    // The cards keep their height; the page's foot takes what is left.
    layout->addStretch(1);

    redraw_.follow(store_->loading, store_->models, store_->errorText, obs_.selectedLLMProviderName);
    subscriptions_.push_back(obs_.enableLLMPolish.subscribe([this](bool polish) {
        showOutput(polish);
        redraw_.request();
    }));
    if (auth_)
        subscriptions_.push_back(auth_->subscribeState([this](const AuthState& state) {
            followAuthState(state.isAuthenticated());
        }));
    showModels();
}

QString RecognitionPage::modelLabel(const LLMModelOption& option)
{
    const bool hasModel = option.model && !option.model->isEmpty();
    if (hasModel)
        return option.name + (option.active ? QStringLiteral(" · 默认 · ") : QStringLiteral(" · ")) + *option.model;
    return option.active ? option.name + QStringLiteral(" · 默认") : option.name;
}

QStringList RecognitionPage::outputPills() const
{
    QStringList texts;
    for (QWidget* slot : {insertPill_, polishPill_}) {
        if (auto* pill = slot->findChild<StatusPill*>())
            texts.append(pill->findChild<QLabel*>() ? pill->findChild<QLabel*>()->text() : QString());
    }
    return texts;
}

void RecognitionPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (signedIn() && store_->models.value().isEmpty())
        reloadModels();
}

bool RecognitionPage::signedIn() const
{
    return auth_ && auth_->state().isAuthenticated();
}

void RecognitionPage::followAuthState(bool signedIn)
{
    const std::optional<bool> previous = std::exchange(lastSignedIn_, signedIn);
    redraw_.request();
    if (!previous || *previous == signedIn)
        return;
    // Signing out keeps the saved model: it is checked again at the next
    // successful fetch. The observer stores the state after telling us.
    if (signedIn)
        QMetaObject::invokeMethod(this, &RecognitionPage::reloadModels, Qt::QueuedConnection);
    else
        store_->reset();
}

void RecognitionPage::reloadModels()
{
    if (!signedIn())
        return;
    QPointer<RecognitionPage> self(this);
    spawn(this, QStringLiteral("settings model list"), [self, store = store_](std::stop_token) -> QCoro::Task<void> {
        const bool fetched = co_await LLMModelListStore::reload(store);
        // A failed fetch says nothing about whether the saved model exists.
        if (self && fetched)
            self->reconcileSelectedModel();
    });
}

void RecognitionPage::reconcileSelectedModel()
{
    const std::optional<QString>& chosen = obs_.selectedLLMProviderName.value();
    if (!chosen || chosen->isEmpty())
        return;
    for (const LLMModelOption& option : store_->models.value()) {
        if (option.name == *chosen)
            return;
    }
    obs_.selectedLLMProviderName.set(noText());
}

QString RecognitionPage::modelSubtitle() const
{
    const std::optional<QString>& chosen = obs_.selectedLLMProviderName.value();
    if (!obs_.enableLLMPolish.value())
        return QStringLiteral("自动润色关闭时不使用模型选择");
    if (!signedIn())
        return LLMModelListStore::signInMessage();
    if (store_->loading.value())
        return QStringLiteral("正在加载可选模型");
    if (store_->errorText.value())
        return *store_->errorText.value();
    if (store_->models.value().isEmpty())
        return QStringLiteral("暂无可选模型，使用后端默认");
    if (chosen && !chosen->isEmpty())
        return QStringLiteral("当前选择 ") + *chosen;
    return QStringLiteral("使用后端默认选择");
}

void RecognitionPage::showModels()
{
    const QList<LLMModelOption>& models = store_->models.value();
    modelPicker_->clear();
    modelPicker_->addItem(QStringLiteral("后端默认"), QString());
    for (const LLMModelOption& option : models)
        modelPicker_->addItem(modelLabel(option), option.name);
    const QString chosen = obs_.selectedLLMProviderName.value().value_or(QString());
    modelPicker_->setCurrentIndex(modelPicker_->findData(chosen));
    const bool loading = store_->loading.value();
    modelPicker_->setEnabled(signedIn() && obs_.enableLLMPolish.value() && !loading && !models.isEmpty());
    refreshButton_->setEnabled(signedIn());
    refreshButton_->setBusy(loading);
    modelRow_->setSubtitle(modelSubtitle());
}

void RecognitionPage::showOutput(bool polish)
{
    showPill(insertPill_, polish ? QStringLiteral("优先润色") : QStringLiteral("原文"),
             polish ? PillTone::success : PillTone::neutral);
    showPill(polishPill_, polish ? QStringLiteral("已启用") : QStringLiteral("已关闭"),
             polish ? PillTone::success : PillTone::neutral);
}

} // namespace vellamor
