#include "HistoryWindows/HistoryView.h"

#include "HistoryWindows/HistoryPanelStyle.h"
#include "HistoryWindows/HistoryRowList.h"
#include "HistoryWindows/HistoryViewModel.h"
#include "I18n/L10n.h"
#include "Support/Async/MainThread.h"
#include "Windows/LabelText.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace vellamor {

namespace {

QString text(const char16_t* key)
{
    return L10n::localized(QString::fromUtf16(key));
}

// A colour of the panel's style, looked up again whenever the palette changes.
using Colour = std::function<QColor(const HistoryPanelStyle&)>;

Colour faded(Colour colour, qreal opacity)
{
    return [colour = std::move(colour), opacity](const HistoryPanelStyle& style) {
        return HistoryPanelStyle::withOpacity(colour(style), opacity);
    };
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

QLabel* label(HistoryView::Tints& tints, const QString& content, const QFont& font, Colour colour, QWidget* parent)
{
    auto* label = new QLabel(content, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    tints.push_back([label, colour = std::move(colour)](const HistoryPanelStyle& style) {
        setColour(label, QPalette::WindowText, colour(style));
    });
    return label;
}

QLabel* symbolLabel(HistoryView::Tints& tints, HistoryPanelStyle::Symbol symbol, qreal points, Colour colour,
                    QWidget* parent)
{
    auto* label = new QLabel(parent);
    tints.push_back([label, symbol, points, colour = std::move(colour)](const HistoryPanelStyle& style) {
        label->setPixmap(HistoryPanelStyle::symbol(symbol, points, colour(style)));
    });
    return label;
}

void fill(HistoryView::Tints& tints, QWidget* widget, Colour colour)
{
    widget->setAutoFillBackground(true);
    tints.push_back([widget, colour = std::move(colour)](const HistoryPanelStyle& style) {
        setColour(widget, QPalette::Window, colour(style));
    });
}

QWidget* divider(HistoryView::Tints& tints, QWidget* parent)
{
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    fill(tints, line, &HistoryPanelStyle::divider);
    return line;
}

// The hint and warning strips share their geometry.
QWidget* strip(HistoryView::Tints& tints, HistoryPanelStyle::Symbol symbol, Colour symbolColour, QLabel* content,
               Colour background, QWidget* parent)
{
    auto* strip = new QWidget(parent);
    fill(tints, strip, std::move(background));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(14, 6, 14, 6);
    row->setSpacing(6);
    row->addWidget(symbolLabel(tints, symbol, 11, std::move(symbolColour), strip));
    content->setWordWrap(true);
    row->addWidget(content, 1);
    return strip;
}

QVBoxLayout* centredColumn(QWidget* page, int spacing)
{
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(spacing);
    column->addStretch();
    return column;
}

} // namespace

HistoryView::HistoryView(HistoryViewModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    const Colour secondary = &HistoryPanelStyle::secondary;
    const Colour primary = &HistoryPanelStyle::primary;
    const Colour orange = &HistoryPanelStyle::orange;
    const Colour green = &HistoryPanelStyle::green;
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    auto* header = new QWidget(this);
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(14, 8, 14, 8);
    headerRow->setSpacing(8);
    headerRow->addWidget(label(tints_, text(u"历史记录 · 点击任意条即插入"),
                               HistoryPanelStyle::font(12, QFont::Medium), secondary, header));
    headerRow->addStretch();
    auto* close = new QToolButton(header);
    close->setObjectName(QStringLiteral("historyClose"));
    close->setFixedSize(18, 18);
    close->setFocusPolicy(Qt::NoFocus);
    close->setToolTip(text(u"关闭"));
    close->setAccessibleName(text(u"关闭"));
    close->setIconSize(QSize(10, 10));
    tints_.push_back([close](const HistoryPanelStyle& style) {
        close->setIcon(HistoryPanelStyle::symbol(HistoryPanelStyle::Symbol::xmark, 10, style.secondary()));
        close->setStyleSheet(QStringLiteral("QToolButton { border: none; border-radius: 9px; background-color: %1; }")
                                 .arg(HistoryPanelStyle::withOpacity(style.secondary(), 0.14).name(QColor::HexArgb)));
    });
    connect(close, &QToolButton::clicked, this, [this] {
        if (onClose)
            onClose();
    });
    headerRow->addWidget(close);
    stack->addWidget(header);
    stack->addWidget(divider(tints_, this));

    hintStrip_ = new QWidget(this);
    auto* hintColumn = new QVBoxLayout(hintStrip_);
    hintColumn->setContentsMargins(0, 0, 0, 0);
    hintColumn->setSpacing(0);
    hintText_ = label(tints_, {}, HistoryPanelStyle::font(11), secondary, hintStrip_);
    hintText_->setObjectName(QStringLiteral("historyHint"));
    hintColumn->addWidget(strip(tints_, HistoryPanelStyle::Symbol::infoCircle, secondary, hintText_,
                                faded(secondary, 0.08), hintStrip_));
    hintColumn->addWidget(divider(tints_, hintStrip_));
    hintStrip_->hide();
    stack->addWidget(hintStrip_);

    content_ = new QStackedWidget(this);
    errorPage_ = new QWidget(content_);
    errorPage_->setObjectName(QStringLiteral("historyError"));
    QVBoxLayout* errorColumn = centredColumn(errorPage_, 10);
    errorColumn->addWidget(symbolLabel(tints_, HistoryPanelStyle::Symbol::exclamationTriangle, 28, orange, errorPage_),
                           0, Qt::AlignHCenter);
    errorText_ = label(tints_, {}, HistoryPanelStyle::font(12), secondary, errorPage_);
    errorText_->setAlignment(Qt::AlignHCenter);
    errorText_->setWordWrap(true);
    errorColumn->addWidget(errorText_);
    auto* retry = new QPushButton(literalLabel(text(u"重试")), errorPage_);
    retry->setObjectName(QStringLiteral("historyRetry"));
    retry->setFocusPolicy(Qt::NoFocus);
    connect(retry, &QPushButton::clicked, this, [this] { model_.refresh(); });
    errorColumn->addWidget(retry, 0, Qt::AlignHCenter);
    errorColumn->addStretch();

    loadingPage_ = new QWidget(content_);
    loadingPage_->setObjectName(QStringLiteral("historyLoading"));
    QVBoxLayout* loadingColumn = centredColumn(loadingPage_, 8);
    auto* spinner = new QProgressBar(loadingPage_);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedWidth(120);
    loadingColumn->addWidget(spinner, 0, Qt::AlignHCenter);
    loadingColumn->addWidget(label(tints_, text(u"加载中…"), HistoryPanelStyle::font(12), secondary, loadingPage_),
                             0, Qt::AlignHCenter);
    loadingColumn->addStretch();

    emptyPage_ = new QWidget(content_);
    emptyPage_->setObjectName(QStringLiteral("historyEmpty"));
    QVBoxLayout* emptyColumn = centredColumn(emptyPage_, 12);
    emptyColumn->addWidget(symbolLabel(tints_, HistoryPanelStyle::Symbol::clockArrow, 28, secondary, emptyPage_), 0,
                           Qt::AlignHCenter);
    emptyColumn->addWidget(
        label(tints_, text(u"暂无历史记录"), HistoryPanelStyle::font(14, QFont::Medium), primary, emptyPage_), 0,
        Qt::AlignHCenter);
    QLabel* emptyHint = label(tints_, text(u"按下热键说一句话，第一条历史会出现在这里。"), HistoryPanelStyle::font(11),
                              secondary, emptyPage_);
    emptyHint->setAlignment(Qt::AlignHCenter);
    emptyHint->setWordWrap(true);
    emptyColumn->addWidget(emptyHint);
    emptyColumn->addStretch();

    list_ = new HistoryRowList(model_, content_);
    list_->setObjectName(QStringLiteral("historyList"));
    list_->onRowClicked = [this](const HistoryRecord& record) { model_.insert(record); };
    for (QWidget* page : {errorPage_, loadingPage_, emptyPage_, static_cast<QWidget*>(list_)})
        content_->addWidget(page);
    stack->addWidget(content_, 1);

    bannerStrip_ = new QWidget(this);
    auto* bannerColumn = new QVBoxLayout(bannerStrip_);
    bannerColumn->setContentsMargins(0, 0, 0, 0);
    bannerColumn->setSpacing(0);
    bannerColumn->addWidget(divider(tints_, bannerStrip_));
    bannerText_ = label(tints_, {}, HistoryPanelStyle::font(11), primary, bannerStrip_);
    bannerText_->setObjectName(QStringLiteral("historyBanner"));
    bannerColumn->addWidget(strip(tints_, HistoryPanelStyle::Symbol::exclamationBubble, orange, bannerText_,
                                  faded(orange, 0.12), bannerStrip_));
    bannerStrip_->hide();
    bannerAnimation_ = new QPropertyAnimation(bannerStrip_, "maximumHeight", this);
    bannerAnimation_->setDuration(180);
    bannerAnimation_->setEasingCurve(QEasingCurve::OutCubic);
    connect(bannerAnimation_, &QPropertyAnimation::finished, this, [this] {
        if (shownBanner_)
            bannerStrip_->setMaximumHeight(QWIDGETSIZE_MAX);
        else
            bannerStrip_->hide();
    });
    stack->addWidget(bannerStrip_);
    stack->addWidget(divider(tints_, this));

    auto* footer = new QWidget(this);
    fill(tints_, footer, faded(secondary, 0.05));
    auto* footerRow = new QHBoxLayout(footer);
    footerRow->setContentsMargins(14, 7, 14, 7);
    footerRow->setSpacing(8);
    copiedPill_ = new QWidget(footer);
    copiedPill_->setObjectName(QStringLiteral("historyCopiedPill"));
    auto* pillRow = new QHBoxLayout(copiedPill_);
    pillRow->setContentsMargins(0, 0, 0, 0);
    pillRow->setSpacing(5);
    auto* dot = new QWidget(copiedPill_);
    dot->setFixedSize(6, 6);
    tints_.push_back([dot](const HistoryPanelStyle& style) {
        dot->setStyleSheet(QStringLiteral("background-color: %1; border-radius: 3px;").arg(style.green().name()));
    });
    pillRow->addWidget(dot);
    pillRow->addWidget(label(tints_, text(u"已复制到剪贴板"), HistoryPanelStyle::font(10.5), green, copiedPill_));
    footerRow->addWidget(copiedPill_);
    footerLeft_ = label(tints_, {}, HistoryPanelStyle::font(10.5), secondary, footer);
    footerLeft_->setObjectName(QStringLiteral("historyFooterLeft"));
    footerRow->addWidget(footerLeft_);
    footerRow->addStretch();
    footerRight_ = label(tints_, {}, HistoryPanelStyle::font(10.5), secondary, footer);
    footerRight_->setObjectName(QStringLiteral("historyFooterRight"));
    footerRow->addWidget(footerRight_);
    stack->addWidget(footer);

    fill(tints_, this, &HistoryPanelStyle::windowBackground);
    restyle();
    const auto changed = [this](const auto&) { scheduleRender(); };
    subscriptions_.push_back(model_.items.subscribe(changed));
    subscriptions_.push_back(model_.query.subscribe(changed));
    subscriptions_.push_back(model_.isLoading.subscribe(changed));
    subscriptions_.push_back(model_.errorText.subscribe(changed));
    subscriptions_.push_back(model_.showAuthSheet.subscribe(changed));
    subscriptions_.push_back(model_.topHintText.subscribe(changed));
    subscriptions_.push_back(model_.degradeBannerText.subscribe(changed));
    subscriptions_.push_back(model_.pulsingItemId.subscribe(changed));
    subscriptions_.push_back(model_.typingHintItemId.subscribe(changed));
    subscriptions_.push_back(model_.insertedItemIds.subscribe(changed));
    subscriptions_.push_back(model_.hoveredItemId.subscribe(changed));
    subscriptions_.push_back(model_.copiedItemId.subscribe(changed));
}

HistoryView::~HistoryView() = default;

void HistoryView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Setting the tints changes palettes too: only a new application palette
    // asks for new colours.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        restyle();
}

void HistoryView::restyle()
{
    const QPalette palette = QApplication::palette();
    if (tintedWith_ == palette)
        return;
    tintedWith_ = palette;
    const HistoryPanelStyle style(palette);
    for (const auto& tint : tints_)
        tint(style);
}

void HistoryView::scheduleRender()
{
    // Published fields deliver before they hold the new value, and a reload
    // assigns several: draw once, when they all hold.
    if (renderPending_)
        return;
    renderPending_ = true;
    postTo(this, [this] {
        renderPending_ = false;
        render();
    });
}

void HistoryView::render()
{
    const std::optional<QString>& hint = model_.topHintText.value();
    hintText_->setText(hint.value_or(QString()));
    hintStrip_->setVisible(hint.has_value());

    QList<HistoryRecord> rows;
    if (model_.errorText.value()) {
        errorText_->setText(*model_.errorText.value());
        content_->setCurrentWidget(errorPage_);
    } else if (model_.isLoading.value() && model_.items.value().isEmpty()) {
        content_->setCurrentWidget(loadingPage_);
    } else if (rows = model_.filtered(); !rows.isEmpty()) {
        list_->setRecords(rows);
        content_->setCurrentWidget(list_);
    } else {
        content_->setCurrentWidget(emptyPage_);
    }

    renderBanner(model_.degradeBannerText.value());
    renderFooter();

    if (model_.showAuthSheet.value() && !signInShown_ && presentSignIn) {
        signInShown_ = true;
        QPointer<HistoryView> weak(this);
        presentSignIn([weak] {
            if (!weak)
                return;
            weak->signInShown_ = false;
            weak->model_.showAuthSheet = false;
            weak->model_.refresh();
        });
    }
}

void HistoryView::renderBanner(const std::optional<QString>& banner)
{
    if (banner == shownBanner_)
        return;
    const bool wasShown = shownBanner_.has_value();
    shownBanner_ = banner;
    if (banner)
        bannerText_->setText(*banner);
    if (banner.has_value() == wasShown)
        return;
    bannerAnimation_->stop();
    const int full = bannerStrip_->sizeHint().height();
    bannerAnimation_->setStartValue(banner ? 0 : bannerStrip_->height());
    bannerAnimation_->setEndValue(banner ? full : 0);
    bannerStrip_->setMaximumHeight(banner ? 0 : bannerStrip_->height());
    bannerStrip_->show();
    bannerAnimation_->start();
}

void HistoryView::renderFooter()
{
    const int count = model_.sessionInsertedCount();
    const bool copied = model_.copiedItemId.value().has_value();
    copiedPill_->setVisible(copied);
    footerLeft_->setVisible(!copied);
    footerLeft_->setText(count >= 1 ? text(u"本次已插入 ") + QString::number(count) + text(u" 条") : text(u"esc 关闭"));
    footerRight_->setText(count >= 1 ? text(u"esc 完成") : text(u"点击外部亦可关闭"));
}

} // namespace vellamor
