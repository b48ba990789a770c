#include "Overlay/PillRow.h"

#include "Overlay/ActionPill.h"
#include "Overlay/CancelButton.h"
#include "Overlay/ModeHintPill.h"
#include "Overlay/OverlayLabel.h"
#include "Overlay/OverlayTheme.h"
#include "Overlay/OverlayViewModel.h"
#include "Overlay/PinButton.h"
#include "Overlay/StatusLED.h"
#include "Overlay/ThinkingLabel.h"
#include "Overlay/Waveform.h"

#include <QHBoxLayout>
#include <QSpacerItem>
#include <QVBoxLayout>

#include <cmath>

namespace vellamor {

namespace {

using Kind = DictationState::Kind;

constexpr int waveformWidth = 88;
constexpr int gapWidth = 8;

// A copy runs, so a callback that replaces itself stays alive while it runs.
void runIfSet(const std::function<void()>& callback)
{
    if (auto copy = callback)
        copy();
}

// Compared exactly: "Email" is no e-mail scene.
QColor sceneLEDColor(const QString& scene)
{
    if (scene == QStringLiteral("email"))
        return OverlayTheme::polish();
    if (scene == QStringLiteral("code"))
        return OverlayTheme::codeAccent();
    return OverlayTheme::record();
}

} // namespace

PillRow::PillRow(OverlayViewModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , compact_(new QWidget(this))
    , thinking_(new ThinkingLabel(compact_))
    , standard_(new QWidget(this))
    , led_(new StatusLED(standard_))
    , waveform_(new Waveform(standard_))
    , status_(new OverlayLabel(OverlayTheme::font(11.5, QFont::Medium), Qt::white, 1, standard_))
    , elapsed_(new OverlayLabel(OverlayTheme::monospacedFont(10.5), OverlayTheme::white(0.5), 1, standard_))
    , retry_(new ActionPill(QStringLiteral("重试"), OverlayTheme::danger(), standard_))
    , pin_(new PinButton(standard_))
    , cancel_(new CancelButton(standard_))
    , modeHint_(new ModeHintPill(standard_))
{
    setAttribute(Qt::WA_TranslucentBackground);
    // At most 32: the hidden island is lower, and the row's content stays
    // centred in it.
    setMaximumHeight(rowHeight);
    thinking_->setText(QStringLiteral("思考中"));
    auto* compactCancel = new CancelButton(compact_);
    auto* compactLayout = new QHBoxLayout(compact_);
    compactLayout->setContentsMargins(8, 0, 8, 0);
    compactLayout->setSpacing(7);
    compactLayout->addStretch();
    compactLayout->addWidget(thinking_);
    compactLayout->addWidget(compactCancel);
    compactLayout->addStretch();

    led_->setFixedSize(7, 7);
    waveform_->setFixedSize(waveformWidth, 22);
    status_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // Fixed in both directions, a new text asks for no new layout.
    elapsed_->setFixedSize(38, elapsed_->sizeHint().height());
    elapsed_->setHorizontalAlignment(Qt::AlignRight);
    auto* standardLayout = new QHBoxLayout(standard_);
    standardLayout->setContentsMargins(12, 0, 8, 0);
    standardLayout->setSpacing(8);
    standardLayout->addWidget(led_);
    standardLayout->addWidget(waveform_);
    standardLayout->addWidget(status_);
    // A spacer takes no spacing of its own in a box layout; this keeps the
    // gap on both of its sides.
    gap_ = new QSpacerItem(gapWidth, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
    standardLayout->addSpacerItem(gap_);
    standardLayout->addStretch();
    standardLayout->addWidget(elapsed_);
    standardLayout->addWidget(retry_);
    standardLayout->addWidget(pin_);
    standardLayout->addWidget(cancel_);
    standardLayout->addWidget(modeHint_);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->addWidget(compact_);
    rows->addWidget(standard_);

    connect(cancel_, &QAbstractButton::clicked, this, [this] { runIfSet(model_.onCancel); });
    connect(compactCancel, &QAbstractButton::clicked, this, [this] { runIfSet(model_.onCancel); });
    connect(retry_, &QAbstractButton::clicked, this, [this] { runIfSet(model_.onRetry); });
    connect(pin_, &QAbstractButton::clicked, this, [this] { model_.isPinned = !model_.isPinned.value(); });
}

void PillRow::apply(const IslandShape& shape)
{
    const DictationState& state = model_.state.value();
    const Kind shown = shownKind();
    const bool recording = state.kind() == Kind::recording;
    const bool compact = isCompactThinking();
    const QColor led = ledColor(shape);
    const bool clipboardOnly = shown == Kind::done && model_.leftOnClipboard.value();
    compact_->setVisible(compact);
    standard_->setVisible(!compact);
    thinking_->setColor(led);

    led_->setColor(led);
    led_->setCancelled(shape.kind() == IslandShape::Kind::cancelled);
    waveform_->setVisible(recording);
    // The warning needs the room: the waveform keeps only its bars' width and
    // the gap before the clock goes.
    const bool warn = shape.kind() == IslandShape::Kind::warn;
    const auto bars = static_cast<double>(OverlayViewModel::rmsWindowSize);
    const double barsWidth = bars * Waveform::barWidth + (bars - 1) * Waveform::barSpacing;
    waveform_->setFixedWidth(warn ? static_cast<int>(std::ceil(barsWidth)) : waveformWidth);
    if (gap_->sizeHint().width() != (warn ? 0 : gapWidth)) {
        gap_->changeSize(warn ? 0 : gapWidth, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
        standard_->layout()->invalidate();
    }
    waveform_->setColor(led);
    waveform_->setSamples(model_.rmsSamples.value());
    status_->setText(statusText(shape));
    status_->setColor(clipboardOnly ? OverlayTheme::warn() : QColor(Qt::white));
    elapsed_->setVisible(recording);
    elapsed_->setText(elapsedText(model_.elapsedMillis.value()));

    const bool failed = shape.kind() == IslandShape::Kind::failed;
    const bool pinnable = !failed && shown == Kind::done && model_.hasResultText();
    retry_->setVisible(failed);
    pin_->setVisible(pinnable);
    pin_->setPinned(model_.isPinned.value());
    cancel_->setVisible(!failed && !pinnable && state.isActive());
    modeHint_->setVisible(recording);
    modeHint_->setMode(model_.hotkeyMode.value());
}

double PillRow::fittingWidth(const IslandShape& shape)
{
    apply(shape);
    return standard_->layout()->sizeHint().width();
}

DictationState::Kind PillRow::shownKind() const
{
    const Kind kind = model_.state.value().kind();
    return kind == Kind::done && model_.delivering.value() ? Kind::inserting : kind;
}

bool PillRow::isCompactThinking() const
{
    return model_.state.value().kind() == Kind::transcribing && model_.partialText.value().isEmpty();
}

QString PillRow::statusText(const IslandShape& shape) const
{
    if (shape.kind() == IslandShape::Kind::warn)
        return model_.warning.value();
    const DictationState& state = model_.state.value();
    const QString& partial = model_.partialText.value();
    switch (shownKind()) {
    case Kind::idle:
        return QStringLiteral("准备");
    case Kind::recording:
        return partial.isEmpty() ? QStringLiteral("听你说") : partial;
    case Kind::transcribing:
        return partial.isEmpty() ? QStringLiteral("思考中") : partial;
    case Kind::polishing:
        return QStringLiteral("润色中");
    case Kind::inserting:
        return QStringLiteral("写入");
    case Kind::done:
        return model_.leftOnClipboard.value() ? copiedText() : QStringLiteral("已插入");
    case Kind::cancelled:
        return QStringLiteral("已取消");
    case Kind::failed:
        return state.reason().isEmpty() ? QStringLiteral("出错") : state.reason();
    }
    return {};
}

QString PillRow::copiedText()
{
    return QStringLiteral("已复制到剪贴板");
}

QString PillRow::elapsedText(qint64 millis)
{
    const qint64 minutes = millis / 60000;
    const qint64 seconds = (millis / 1000) % 60;
    return QString::asprintf("%lld:%02lld", static_cast<long long>(minutes), static_cast<long long>(seconds));
}

QColor PillRow::ledColor(const IslandShape& shape) const
{
    switch (shape.kind()) {
    case IslandShape::Kind::failed:
        return OverlayTheme::danger();
    case IslandShape::Kind::warn:
        return OverlayTheme::warn();
    case IslandShape::Kind::cancelled:
        return OverlayTheme::white(0.35);
    case IslandShape::Kind::done:
        return OverlayTheme::success();
    default:
        break;
    }
    switch (shownKind()) {
    case Kind::transcribing:
    case Kind::polishing:
    case Kind::inserting:
        return OverlayTheme::polish();
    case Kind::done:
        return model_.leftOnClipboard.value() ? OverlayTheme::warn() : OverlayTheme::success();
    case Kind::recording:
        return sceneLEDColor(model_.scene.value());
    default:
        return OverlayTheme::white(0.4);
    }
}

} // namespace vellamor
