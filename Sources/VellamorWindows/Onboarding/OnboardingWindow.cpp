#include "Onboarding/OnboardingWindow.h"

#include "Onboarding/OnboardingAccountPage.h"
#include "Onboarding/OnboardingFirstRunPage.h"
#include "Onboarding/OnboardingOverviewPage.h"
#include "Onboarding/OnboardingPermissionStepPage.h"
#include "Onboarding/OnboardingStepDots.h"
#include "Onboarding/OnboardingSuccessPage.h"
#include "Onboarding/OnboardingWelcomePage.h"
#include "Windows/FixedDialog.h"
#include "Windows/PaintKit.h"
#include "Windows/ProminentButton.h"
#include "Windows/RowDivider.h"
#include "Windows/SymbolView.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QCloseEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace vellamor {

namespace {

constexpr QSize windowSize{680, 540};
constexpr int pollIntervalMs = 1000;
constexpr int stepAnimationMs = 220;

} // namespace

OnboardingWindow::OnboardingWindow(OnboardingViewModel& vm, const QString& hotkeyName, Callbacks callbacks,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window)
    , vm_(vm)
    , hotkeyName_(hotkeyName)
    , callbacks_(std::move(callbacks))
    , dots_(new OnboardingStepDots(rawValue(vm.step.value()), onboardingStepCount, this))
    , progress_(new ThemedLabel(QString(), WindowTheme::monospacedFont(10, QFont::Medium), &WindowTheme::secondary,
                                this))
    , pageArea_(new QVBoxLayout)
    , left_(new QPushButton(this))
    , primary_(new ProminentButton(QString(), this))
    , poll_(new QTimer(this))
{
    setWindowTitle(QStringLiteral("欢迎使用 Vellamor"));
    setFixedDialogFrame(*this);
    setFixedSize(windowSize);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    column->addLayout(makeHeader());
    column->addWidget(new RowDivider(this));

    pageArea_->setContentsMargins(36, 28, 36, 28);
    column->addLayout(pageArea_, 1);
    column->addWidget(new RowDivider(this));

    column->addLayout(makeFooter());

    showStep(vm.step.value());
    step_ = vm.step.subscribeQueued(this, [this](OnboardingStep step) {
        if (step != shownStep_)
            showStep(step);
    });
    statuses_ = vm.statuses.subscribeQueued(this, [this](const PermissionStatuses&) { refreshFooter(); });
    tried_ = vm.hasTriedRecording.subscribeQueued(this, [this](bool) { refreshFooter(); });
    auth_ = vm.auth().subscribeStateQueued(this, [this](const AuthState&) { refreshFooter(); });

    poll_->setInterval(pollIntervalMs);
    poll_->setTimerType(Qt::PreciseTimer);
    connect(poll_, &QTimer::timeout, &vm_, &OnboardingViewModel::refreshStatuses);
    poll_->start();
}

QHBoxLayout* OnboardingWindow::makeHeader()
{
    auto* header = new QHBoxLayout;
    header->setContentsMargins(20, 12, 20, 12);
    header->setSpacing(8);
    auto* mark = new SymbolView(QStringLiteral("waveform"), 16, &WindowTheme::blue, this);
    mark->setFixedSize(18, 18);
    header->addWidget(mark);
    header->addWidget(new ThemedLabel(QStringLiteral("Vellamor"), WindowTheme::font(14, QFont::DemiBold),
                                      &WindowTheme::primary, this));
    header->addStretch();
    header->addWidget(dots_);
    header->addSpacing(4);
    QFont tracked = progress_->font();
    tracked.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    progress_->setFont(tracked);
    header->addWidget(progress_);
    return header;
}

QHBoxLayout* OnboardingWindow::makeFooter()
{
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(20, 14, 20, 14);
    left_->setFlat(true);
    left_->setFont(WindowTheme::font(13));
    footer->addWidget(left_);
    footer->addStretch();
    applyButtonInk();
    primary_->setMinimumWidth(120);
    footer->addWidget(primary_);

    connect(left_, &QPushButton::clicked, this, [this] {
        if (vm_.canGoBack())
            vm_.back();
        else if (callbacks_.close)
            callbacks_.close();
    });
    connect(primary_, &QPushButton::clicked, this, [this] {
        if (vm_.step.value() == OnboardingStep::success) {
            if (callbacks_.close)
                callbacks_.close();
        } else if (vm_.canContinue()) {
            vm_.next();
        }
    });
    return footer;
}

OnboardingWindow::~OnboardingWindow() = default;

void OnboardingWindow::present()
{
    show();
    raise();
    activateWindow();
}

void OnboardingWindow::showStep(OnboardingStep step)
{
    const bool change = page_ != nullptr;
    if (page_) {
        pageArea_->removeWidget(page_);
        page_->deleteLater();
    }
    shownStep_ = step;
    page_ = makePage(step);
    pageArea_->addWidget(page_);
    if (change)
        fadeIn(*page_);
    dots_->setCurrent(rawValue(step));
    progress_->setText(progressLabel(step));
    refreshFooter();
    // The page's own button takes the keyboard; Return still goes on.
    if (auto* permissionPage = qobject_cast<OnboardingPermissionStepPage*>(page_))
        permissionPage->actionButton().setFocus();
    else if (auto* accountPage = qobject_cast<OnboardingAccountPage*>(page_))
        accountPage->signInButton().setFocus();
    else
        primary_->setFocus();
}

void OnboardingWindow::fadeIn(QWidget& page)
{
    auto* fade = new QGraphicsOpacityEffect(&page);
    fade->setOpacity(0);
    page.setGraphicsEffect(fade);
    auto* animation = new QPropertyAnimation(fade, "opacity", &page);
    animation->setDuration(stepAnimationMs);
    animation->setEndValue(1.0);
    animation->setEasingCurve(PaintKit::easeInOut());
    // The effect draws the page through an image: it goes once visible.
    connect(animation, &QPropertyAnimation::finished, &page, [&page] { page.setGraphicsEffect(nullptr); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

QWidget* OnboardingWindow::makePage(OnboardingStep step)
{
    if (const std::optional<VellamorPermission> permission = permissionOf(step))
        return new OnboardingPermissionStepPage(*permission, vm_, hotkeyName_, this);
    switch (step) {
    case OnboardingStep::welcome:
        return new OnboardingWelcomePage(hotkeyName_, this);
    case OnboardingStep::overview:
        return new OnboardingOverviewPage(vm_, hotkeyName_, this);
    case OnboardingStep::account:
        return new OnboardingAccountPage(vm_.auth(), callbacks_.signIn, this);
    case OnboardingStep::firstRun:
        return new OnboardingFirstRunPage(vm_.hasTriedRecording, hotkeyName_, this);
    case OnboardingStep::success:
    default:
        return new OnboardingSuccessPage(hotkeyName_, this);
    }
}

void OnboardingWindow::refreshFooter()
{
    const OnboardingStep step = vm_.step.value();
    left_->setVisible(step != OnboardingStep::success);
    left_->setText(vm_.canGoBack() ? QStringLiteral("上一步") : QStringLiteral("稍后再说"));
    primary_->setText(vm_.nextButtonTitle());
    primary_->setEnabled(vm_.canContinue());
}

void OnboardingWindow::applyButtonInk()
{
    QPalette secondary = left_->palette();
    secondary.setColor(QPalette::ButtonText, WindowTheme::secondary());
    left_->setPalette(secondary);
}

void OnboardingWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        applyButtonInk();
}

void OnboardingWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (callbacks_.closedByUser)
        callbacks_.closedByUser();
}

void OnboardingWindow::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && primary_->isEnabled()) {
        primary_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace vellamor
