#include "Diagnostics/DiagnosticsPage.h"

#include "Diagnostics/DiagnosticsTexts.h"
#include "Diagnostics/LogViewerView.h"
#include "Permissions/PermissionChecker.h"
#include "Windows/CardGroup.h"
#include "Windows/InfoGrid.h"
#include "Windows/PaintKit.h"
#include "Windows/RowDivider.h"
#include "Windows/SectionHeader.h"
#include "Windows/StatusPill.h"
#include "Windows/SymbolView.h"
#include "Windows/Symbols.h"
#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace vellamor {

namespace {

struct StatusLook {
    QString text;
    PillTone tone;
    QString icon;
};

StatusLook lookOf(VellamorPermissionStatus status)
{
    switch (status) {
    case VellamorPermissionStatus::notDetermined:
        return {QStringLiteral("未授权"), PillTone::neutral, QStringLiteral("circle.dashed")};
    case VellamorPermissionStatus::denied:
        return {QStringLiteral("已拒绝"), PillTone::danger, QStringLiteral("xmark.circle.fill")};
    case VellamorPermissionStatus::granted:
        return {QStringLiteral("已授权"), PillTone::success, QStringLiteral("checkmark.circle.fill")};
    }
    Q_UNREACHABLE();
}

StatusPill* pillFor(VellamorPermissionStatus status, QWidget* parent)
{
    const StatusLook look = lookOf(status);
    return new StatusPill(look.text, look.tone, look.icon, parent);
}

} // namespace

DiagnosticsPage::DiagnosticsPage(const DiagnosticsServices& services, QWidget* parent, SleepFunction sleep)
    : QWidget(parent)
    , model_(services.permissions, services.pasteboard, services.logFile, std::move(sleep))
    , column_(new QVBoxLayout(this))
    , copyButton_(new ProminentButton(QString(), this))
    , cards_(makeCards())
    , logToggle_(makeLogToggle())
    , logViewer_(new LogViewerView(
          std::make_unique<LogViewerModel>(services.logFile, services.pasteboard, services.workspace), this))
{
    connect(copyButton_, &QPushButton::clicked, this, [this] { model_.copyReport(); });
    auto* headerRow = new QHBoxLayout;
    headerRow->addWidget(new SectionHeader(DiagnosticsTexts::diagnosticsTitle,
                                           QStringLiteral("遇到问题时，点这里的「复制诊断信息」把背景资料发给我们"), this),
                         1, Qt::AlignTop);
    headerRow->addWidget(copyButton_, 0, Qt::AlignTop);

    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(16);
    column_->addLayout(headerRow);
    column_->addWidget(cards_);
    column_->addWidget(logToggle_);
    column_->addWidget(logViewer_, 1);
    column_->addStretch(1);

    subscriptions_.push_back(model_.copied.subscribe([this](bool copied) { showCopied(copied); }));
    subscriptions_.push_back(model_.statuses.subscribe([this](const PermissionStatuses& s) { showStatuses(s); }));
    subscriptions_.push_back(model_.showLogs.subscribe([this](bool open) { showLogs(open); }));
}

DiagnosticsPage::~DiagnosticsPage() = default;

QWidget* DiagnosticsPage::makeCards()
{
    auto* cards = new QWidget(this);
    auto* column = new QVBoxLayout(cards);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);

    auto* system = new CardGroup(DiagnosticsTexts::systemInfo.title, cards);
    system->addWidget(new InfoGrid(DiagnosticsPageModel::systemInfoRows()));
    column->addWidget(system);

    auto* permissions = new CardGroup(DiagnosticsTexts::permissions.title, cards);
    auto* rows = new QWidget;
    auto* rowColumn = new QVBoxLayout(rows);
    rowColumn->setContentsMargins(0, 0, 0, 0);
    rowColumn->setSpacing(8);
    for (const VellamorPermission permission : allPermissions()) {
        if (!rows_.empty())
            rowColumn->addWidget(new RowDivider(rows));
        rowColumn->addWidget(makePermissionRow(permission, rows));
    }
    settingsMissing_ = new ThemedLabel(QString(), WindowTheme::font(11), &WindowTheme::secondary, rows);
    settingsMissing_->setWordWrap(true);
    settingsMissing_->hide();
    rowColumn->addWidget(settingsMissing_);
    permissions->addWidget(rows);
    column->addWidget(permissions);
    return cards;
}

QWidget* DiagnosticsPage::makePermissionRow(VellamorPermission permission, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(10);
    auto* icon = new SymbolView(symbolName(permission), 14, &WindowTheme::secondary, row);
    icon->setFixedWidth(20);
    line->addWidget(icon);
    line->addWidget(new ThemedLabel(title(permission), WindowTheme::font(13), &WindowTheme::primary, row));
    line->addStretch();
    StatusPill* pill = pillFor(VellamorPermissionStatus::notDetermined, row);
    line->addWidget(pill);
    auto* grant = new QPushButton(QStringLiteral("去授权"), row);
    grant->setFont(WindowTheme::font(11));
    connect(grant, &QPushButton::clicked, this, [this, permission] {
        // Without a settings program the user is told where to look.
        settingsMissing_->setText(
            QStringLiteral("没有找到可打开的系统设置程序，请在桌面的设置中为 Vellamor 开启「%1」。").arg(title(permission)));
        settingsMissing_->setVisible(!model_.openSystemSettings(permission));
    });
    line->addWidget(grant);
    rows_.emplace(permission, PermissionRow{line, pill, grant});
    return row;
}

QPushButton* DiagnosticsPage::makeLogToggle()
{
    auto* toggle = new QPushButton(this);
    toggle->setFlat(true);
    toggle->setCursor(Qt::PointingHandCursor);
    auto* line = new QHBoxLayout(toggle);
    line->setContentsMargins(0, 8, 0, 8);
    auto* label = new ThemedLabel(DiagnosticsTexts::recentLog.title, WindowTheme::font(13, QFont::Medium),
                                  &WindowTheme::primary, toggle);
    chevronDown_ = new SymbolView(QStringLiteral("chevron.down"), 12, &WindowTheme::secondary, toggle);
    chevronUp_ = new SymbolView(QStringLiteral("chevron.up"), 12, &WindowTheme::secondary, toggle);
    for (QWidget* part : std::initializer_list<QWidget*>{label, chevronDown_, chevronUp_})
        part->setAttribute(Qt::WA_TransparentForMouseEvents);
    line->addWidget(label);
    line->addStretch();
    line->addWidget(chevronDown_);
    line->addWidget(chevronUp_);
    toggle->setMinimumHeight(label->sizeHint().height() + 16);
    connect(toggle, &QPushButton::clicked, this, [this] {
        model_.toggleLogs();
        fadeIn(model_.showLogs.value() ? static_cast<QWidget*>(logViewer_) : cards_);
    });
    return toggle;
}

void DiagnosticsPage::showCopied(bool copied)
{
    copyButton_->setText(copied ? QStringLiteral("已复制") : DiagnosticsTexts::copyReport.title);
    copyButton_->setIcon(QIcon(Symbols::pixmap(copied ? QStringLiteral("checkmark.circle.fill")
                                                      : QStringLiteral("doc.on.clipboard"),
                                               14, Qt::white)));
    copyButton_->setTint(copied ? &WindowTheme::green : &WindowTheme::blue);
}

void DiagnosticsPage::showStatuses(const PermissionStatuses& statuses)
{
    for (auto& [permission, row] : rows_) {
        const VellamorPermissionStatus status = statuses.value(permission, VellamorPermissionStatus::notDetermined);
        StatusPill* pill = pillFor(status, row.pill->parentWidget());
        delete row.line->replaceWidget(row.pill, pill);
        delete row.pill;
        // Not a turn of the loop later, as the layout would show it.
        pill->show();
        row.pill = pill;
        row.grant->setVisible(status != VellamorPermissionStatus::granted);
    }
}

void DiagnosticsPage::showLogs(bool open)
{
    cards_->setVisible(!open);
    logViewer_->setVisible(open);
    chevronDown_->setVisible(!open);
    chevronUp_->setVisible(open);
    // The open log takes the room the closing space had.
    column_->setStretch(column_->count() - 1, open ? 0 : 1);
}

void DiagnosticsPage::fadeIn(QWidget* part)
{
    auto* opacity = new QGraphicsOpacityEffect(part);
    opacity->setOpacity(0);
    part->setGraphicsEffect(opacity);
    auto* fade = new QPropertyAnimation(opacity, "opacity", opacity);
    fade->setDuration(logToggleFade);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setEasingCurve(PaintKit::easeInOut());
    // Painting through the effect costs an offscreen copy each time, so it
    // goes once the part is fully there.
    connect(
        fade, &QPropertyAnimation::finished, part,
        [part, effect = QPointer<QGraphicsEffect>(opacity)] {
            if (effect && part->graphicsEffect() == effect)
                part->setGraphicsEffect(nullptr);
        },
        Qt::QueuedConnection);
    fade->start();
}

void DiagnosticsPage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        showCopied(model_.copied.value());
}

void DiagnosticsPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        model_.appear();
}

} // namespace vellamor
