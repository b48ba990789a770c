#include "Onboarding/OnboardingFirstRunPage.h"

#include "I18n/L10n.h"
#include "Onboarding/OnboardingStyle.h"
#include "Windows/PaintKit.h"
#include "Windows/SymbolView.h"
#include "Windows/TintedGround.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace vellamor {

namespace {

using Phase = OnboardingFirstRunPage::Phase;

// One breath, each way.
constexpr int breathMs = 1100;

// The pill's capsule: grey while waiting, green once detected.
class PhaseCapsule final : public QWidget {
public:
    explicit PhaseCapsule(QWidget* parent) : QWidget(parent) {}

    void setPhase(Phase phase)
    {
        phase_ = phase;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool detected = phase_ == Phase::detected;
        const QColor colour = detected ? WindowTheme::green() : WindowTheme::secondary();
        const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const QPainterPath path = PaintKit::continuousRoundedRect(capsule, capsule.height() / 2);
        painter.fillPath(path, PaintKit::withOpacity(colour, detected ? 0.14 : 0.1));
        painter.strokePath(path, QPen(PaintKit::withOpacity(colour, detected ? 0.35 : 0.18), 1));
    }

private:
    Phase phase_ = Phase::waiting;
};

// The waiting dot; `breath` runs from 0 to 2 and back to 0 is one full breath.
class BreathingDot final : public QWidget {
public:
    explicit BreathingDot(QWidget* parent) : QWidget(parent) { setFixedSize(10, 10); }

    void setBreath(double breath)
    {
        const double leg = breath <= 1 ? breath : 2 - breath;
        fullness_ = PaintKit::easeInOut().valueForProgress(leg);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double scale = 0.85 + 0.15 * fullness_;
        painter.setOpacity(0.55 + 0.35 * fullness_);
        painter.setPen(Qt::NoPen);
        painter.setBrush(PaintKit::withOpacity(WindowTheme::secondary(), 0.5));
        const QPointF centre = QRectF(rect()).center();
        painter.drawEllipse(centre, 5 * scale, 5 * scale);
    }

private:
    double fullness_ = 0;
};

QWidget* stepRow(const QString& number, const QString& text, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(10);
    auto* badge = new ThemedLabel(number, WindowTheme::font(11, QFont::Bold), [] { return QColor(Qt::white); }, row);
    badge->setAlignment(Qt::AlignCenter);
    badge->setFixedSize(20, 20);
    badge->setStyleSheet(QStringLiteral("background: %1; border-radius: 10px;").arg(WindowTheme::accent().name()));
    line->addWidget(badge, 0, Qt::AlignTop);
    line->addWidget(OnboardingStyle::body(text, row), 1);
    return row;
}

} // namespace

OnboardingFirstRunPage::OnboardingFirstRunPage(Published<bool>& hasTriedRecording, const QString& hotkeyName,
                                               QWidget* parent)
    : QWidget(parent)
    , hotkeyName_(hotkeyName)
    , pill_(new PhaseCapsule(this))
    , dot_(new BreathingDot(pill_))
    , check_(new SymbolView(QStringLiteral("checkmark.circle.fill"), 14, &WindowTheme::green, pill_))
    , status_(new ThemedLabel(QString(), WindowTheme::font(13, QFont::Medium), &WindowTheme::secondary, pill_))
    , pulse_(new QVariantAnimation(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(18);
    auto* icon = new SymbolView(QStringLiteral("waveform.and.mic"), 40, &WindowTheme::blue, this);
    icon->setFixedSize(40, 40);
    column->addWidget(icon, 0, Qt::AlignLeft);
    column->addWidget(headingLabel(QStringLiteral("说出你的第一句话"), 22, this));
    column->addWidget(OnboardingStyle::subtitle(
        QStringLiteral("跟着下面三步操作，Vellamor 检测到成功后会自动带你进入下一步。"), this));
    auto* box = new TintedGround(10, 0.08, this);
    auto* steps = new QVBoxLayout(box);
    steps->setContentsMargins(14, 14, 14, 14);
    steps->setSpacing(10);
    steps->addWidget(stepRow(QStringLiteral("1"), QStringLiteral("切到任意可输入文字的地方（备忘录、邮件、聊天框都行）"), box));
    steps->addWidget(stepRow(QStringLiteral("2"), QStringLiteral("把光标点进输入框，确保它在闪烁"), box));
    steps->addWidget(stepRow(QStringLiteral("3"),
        L10n::Hotkey::inSentence(QStringLiteral("按住 %1 说一句“你好，这是我的第一条语音输入”，松手"), hotkeyName),
        box));
    column->addWidget(box);

    auto* pillRow = new QHBoxLayout(pill_);
    pillRow->setContentsMargins(18, 12, 18, 12);
    pillRow->setSpacing(12);
    check_->setFixedSize(16, 16);
    pillRow->addWidget(dot_, 0, Qt::AlignVCenter);
    pillRow->addWidget(check_, 0, Qt::AlignVCenter);
    pillRow->addWidget(status_);
    auto* centred = new QHBoxLayout;
    centred->addStretch();
    centred->addWidget(pill_);
    centred->addStretch();
    column->addLayout(centred);
    column->addStretch();
    column->addWidget(OnboardingStyle::footnote(
        QStringLiteral("没反应？回到上一步看看“输入监控”和“辅助功能”是不是被关掉了。"), this));

    pulse_->setStartValue(0.0);
    pulse_->setEndValue(2.0);
    pulse_->setDuration(2 * breathMs);
    pulse_->setLoopCount(-1);
    connect(pulse_, &QVariantAnimation::valueChanged, dot_,
            [dot = static_cast<BreathingDot*>(dot_)](const QVariant& value) { dot->setBreath(value.toDouble()); });
    flag_ = hasTriedRecording.subscribe(
        [this](bool tried) { showPhase(tried ? Phase::detected : Phase::waiting); });
}

void OnboardingFirstRunPage::showPhase(Phase phase)
{
    phase_ = phase;
    const bool detected = phase == Phase::detected;
    static_cast<PhaseCapsule*>(pill_)->setPhase(phase);
    dot_->setVisible(!detected);
    check_->setVisible(detected);
    status_->setText(detected ? QStringLiteral("听到了，正在带你进入下一步")
                              : L10n::Hotkey::inSentence(QStringLiteral("正在等你按 %1 说一句话"), hotkeyName_));
    status_->setInk(detected ? &WindowTheme::green : &WindowTheme::secondary);
    // The dot breathes only while it shows.
    if (detected)
        pulse_->stop();
    else
        pulse_->start();
}

} // namespace vellamor
