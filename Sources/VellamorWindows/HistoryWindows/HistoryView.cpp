#include "HistoryWindows/HistoryView.h"

#include "HistoryWindows/HistoryRowList.h"
#include "HistoryWindows/HistoryViewModel.h"
#include "I18n/L10n.h"
#include "Windows/LabelText.h"
#include "Windows/PaintKit.h"
#include "Windows/RedrawBatch.h"
#include "Windows/RowDivider.h"
#include "Windows/SymbolView.h"
#include "Windows/Symbols.h"
#include "Windows/ThemedLabel.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

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

// The side of a strip's symbol and of the symbol over an empty or failed
// list, in logical pixels.
constexpr double stripSymbolSize = 13;
constexpr double stateSymbolSize = 34;

QString text(const char16_t* key)
{
    return L10n::localized(QString::fromUtf16(key));
}

// A colour of the window theme, looked up again whenever the palette changes.
using Colour = std::function<QColor()>;

Colour faded(Colour colour, qreal opacity)
{
    return [colour = std::move(colour), opacity] { return PaintKit::withOpacity(colour(), opacity); };
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

QLabel* label(const QString& content, const QFont& font, Colour colour, QWidget* parent)
{
    auto* label = new ThemedLabel(content, font, std::move(colour), parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void fill(HistoryView::Tints& tints, QWidget* widget, Colour colour)
{
    widget->setAutoFillBackground(true);
    tints.push_back([widget, colour = std::move(colour)] { setColour(widget, QPalette::Window, colour()); });
}

// The hint and warning strips share their geometry.
QWidget* strip(HistoryView::Tints& tints, const QString& symbol, Colour symbolColour, QLabel* content,
               Colour background, QWidget* parent)
{
    auto* strip = new QWidget(parent);
    fill(tints, strip, std::move(background));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(14, 6, 14, 6);
    row->setSpacing(6);
    auto* mark = new SymbolView(symbol, stripSymbolSize, std::move(symbolColour), strip);
    mark->setFixedSize(mark->sizeHint());
    row->addWidget(mark);
    content->setWordWrap(true);
    row->addWidget(content, 1);
    return strip;
}

QVBoxLayout* statePageColumn(QWidget* page, int spacing)
{
    QVBoxLayout* column = centredColumn(page, spacing);
    column->setContentsMargins(16, 16, 16, 16);
    return column;
}

// The large symbol over an empty or failed list.
QWidget* stateSymbol(const QString& name, Colour colour, QWidget* parent)
{
    auto* mark = new SymbolView(name, stateSymbolSize, std::move(colour), parent);
    mark->setFixedSize(mark->sizeHint());
    return mark;
}

} // namespace

HistoryView::HistoryView(HistoryViewModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , redraw_(this, [this] { render(); })
{
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(buildHeader());
    stack->addWidget(new RowDivider(this, 0));
    stack->addWidget(buildHintStrip());
    content_ = new QStackedWidget(this);
    for (QWidget* page : {buildErrorPage(), buildLoadingPage(), buildEmptyPage(), buildList()})
        content_->addWidget(page);
    stack->addWidget(content_, 1);
    stack->addWidget(buildBanner());
    stack->addWidget(new RowDivider(this, 0));
    stack->addWidget(buildFooter());
    fill(tints_, this, &WindowTheme::windowBackground);
    restyle();
    followModel();
}

QWidget* HistoryView::buildHeader()
{
    auto* header = new QWidget(this);
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(14, 8, 14, 8);
    headerRow->setSpacing(8);
    headerRow->addWidget(label(text(u"历史记录 · 点击任意条即插入"), WindowTheme::font(12, QFont::Medium),
                               &WindowTheme::secondary, header));
    headerRow->addStretch();
    auto* close = new QToolButton(header);
    close->setObjectName(QStringLiteral("historyClose"));
    close->setFixedSize(18, 18);
    close->setFocusPolicy(Qt::NoFocus);
    close->setToolTip(text(u"关闭"));
    close->setAccessibleName(text(u"关闭"));
    close->setIconSize(QSize(10, 10));
    tints_.push_back([close] {
        close->setIcon(Symbols::pixmap(QStringLiteral("xmark"), 10, WindowTheme::secondary()));
        close->setStyleSheet(QStringLiteral("QToolButton { border: none; border-radius: 9px; background-color: %1; }")
                                 .arg(PaintKit::withOpacity(WindowTheme::secondary(), 0.14).name(QColor::HexArgb)));
    });
    connect(close, &QToolButton::clicked, this, [this] {
        if (onClose)
            onClose();
    });
    headerRow->addWidget(close);
    return header;
}

QWidget* HistoryView::buildHintStrip()
{
    hintStrip_ = new QWidget(this);
    auto* hintColumn = new QVBoxLayout(hintStrip_);
    hintColumn->setContentsMargins(0, 0, 0, 0);
    hintColumn->setSpacing(0);
    hintText_ = label({}, WindowTheme::font(11), &WindowTheme::secondary, hintStrip_);
    hintText_->setObjectName(QStringLiteral("historyHint"));
    hintColumn->addWidget(strip(tints_, QStringLiteral("info.circle"), &WindowTheme::secondary, hintText_,
                                faded(&WindowTheme::secondary, 0.08), hintStrip_));
    hintColumn->addWidget(new RowDivider(hintStrip_, 0));
    hintStrip_->hide();
    return hintStrip_;
}

QWidget* HistoryView::buildErrorPage()
{
    errorPage_ = new QWidget(content_);
    errorPage_->setObjectName(QStringLiteral("historyError"));
    QVBoxLayout* errorColumn = statePageColumn(errorPage_, 10);
    addCentred(errorColumn, stateSymbol(QStringLiteral("exclamationmark.triangle"), &WindowTheme::orange, errorPage_));
    errorText_ = centredText({}, WindowTheme::font(12), &WindowTheme::secondary, errorPage_);
    errorText_->setTextFormat(Qt::PlainText);
    errorColumn->addWidget(errorText_);
    auto* retry = new QPushButton(literalLabel(text(u"重试")), errorPage_);
    retry->setObjectName(QStringLiteral("historyRetry"));
    retry->setFocusPolicy(Qt::NoFocus);
    connect(retry, &QPushButton::clicked, this, [this] { model_.refresh(); });
    addCentred(errorColumn, retry);
    errorColumn->addStretch();
    return errorPage_;
}

QWidget* HistoryView::buildLoadingPage()
{
    loadingPage_ = new QWidget(content_);
    loadingPage_->setObjectName(QStringLiteral("historyLoading"));
    QVBoxLayout* loadingColumn = statePageColumn(loadingPage_, 8);
    auto* spinner = new QProgressBar(loadingPage_);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedWidth(120);
    addCentred(loadingColumn, spinner);
    addCentred(loadingColumn, label(text(u"加载中…"), WindowTheme::font(12), &WindowTheme::secondary, loadingPage_));
    loadingColumn->addStretch();
    return loadingPage_;
}

QWidget* HistoryView::buildEmptyPage()
{
    emptyPage_ = new QWidget(content_);
    emptyPage_->setObjectName(QStringLiteral("historyEmpty"));
    QVBoxLayout* emptyColumn = statePageColumn(emptyPage_, 12);
    addCentred(emptyColumn, stateSymbol(QStringLiteral("clock.arrow.circlepath"), &WindowTheme::secondary, emptyPage_));
    addCentred(emptyColumn,
               label(text(u"暂无历史记录"), WindowTheme::font(14, QFont::Medium), &WindowTheme::primary, emptyPage_));
    emptyColumn->addWidget(centredText(text(u"按下热键说一句话，第一条历史会出现在这里。"), WindowTheme::font(11),
                                       &WindowTheme::secondary, emptyPage_));
    emptyColumn->addStretch();
    return emptyPage_;
}

QWidget* HistoryView::buildList()
{
    list_ = new HistoryRowList(model_, content_);
    list_->setObjectName(QStringLiteral("historyList"));
    list_->onRowClicked = [this](const HistoryRecord& record) { model_.insert(record); };
    return list_;
}

QWidget* HistoryView::buildBanner()
{
    bannerStrip_ = new QWidget(this);
    auto* bannerColumn = new QVBoxLayout(bannerStrip_);
    bannerColumn->setContentsMargins(0, 0, 0, 0);
    bannerColumn->setSpacing(0);
    bannerColumn->addWidget(new RowDivider(bannerStrip_, 0));
    bannerText_ = label({}, WindowTheme::font(11), &WindowTheme::primary, bannerStrip_);
    bannerText_->setObjectName(QStringLiteral("historyBanner"));
    bannerColumn->addWidget(strip(tints_, QStringLiteral("exclamationmark.bubble"), &WindowTheme::orange, bannerText_,
                                  faded(&WindowTheme::orange, 0.12), bannerStrip_));
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
    return bannerStrip_;
}

QWidget* HistoryView::buildFooter()
{
    auto* footer = new QWidget(this);
    fill(tints_, footer, faded(&WindowTheme::secondary, 0.05));
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
    tints_.push_back([dot] {
        dot->setStyleSheet(
            QStringLiteral("background-color: %1; border-radius: 3px;").arg(WindowTheme::green().name()));
    });
    pillRow->addWidget(dot);
    pillRow->addWidget(label(text(u"已复制到剪贴板"), WindowTheme::font(10.5), &WindowTheme::green, copiedPill_));
    footerRow->addWidget(copiedPill_);
    footerLeft_ = label({}, WindowTheme::font(10.5), &WindowTheme::secondary, footer);
    footerLeft_->setObjectName(QStringLiteral("historyFooterLeft"));
    footerRow->addWidget(footerLeft_);
    footerRow->addStretch();
    footerRight_ = label({}, WindowTheme::font(10.5), &WindowTheme::secondary, footer);
    footerRight_->setObjectName(QStringLiteral("historyFooterRight"));
    footerRow->addWidget(footerRight_);
    return footer;
}

void HistoryView::followModel()
{
    redraw_.follow(model_.items, model_.query, model_.isLoading, model_.errorText, model_.showAuthSheet,
                   model_.topHintText, model_.degradeBannerText, model_.pulsingItemId, model_.typingHintItemId,
                   model_.insertedItemIds, model_.hoveredItemId, model_.copiedItemId);
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
    for (const auto& tint : tints_)
        tint();
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
