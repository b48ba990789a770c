#include "Diagnostics/DiagnosticsPage.h"

#include "Diagnostics/DiagnosticsStyle.h"
#include "Diagnostics/LogViewerView.h"
#include "Permissions/PermissionChecker.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace vellamor {

namespace {

struct StatusLook {
    QString text;
    DiagnosticsStyle::Tone tone;
};

StatusLook lookOf(VellamorPermissionStatus status)
{
    switch (status) {
    case VellamorPermissionStatus::notDetermined:
        return {QStringLiteral("未授权"), DiagnosticsStyle::Tone::neutral};
    case VellamorPermissionStatus::denied:
        return {QStringLiteral("已拒绝"), DiagnosticsStyle::Tone::danger};
    case VellamorPermissionStatus::granted:
        return {QStringLiteral("已授权"), DiagnosticsStyle::Tone::success};
    }
    Q_UNREACHABLE();
}

QString permissionIconName(VellamorPermission permission)
{
    switch (permission) {
    case VellamorPermission::microphone:
        return QStringLiteral("audio-input-microphone");
    case VellamorPermission::accessibility:
        return QStringLiteral("preferences-desktop-accessibility");
    case VellamorPermission::inputMonitoring:
        return QStringLiteral("input-keyboard");
    }
    Q_UNREACHABLE();
}

} // namespace

DiagnosticsPage::DiagnosticsPage(Dependencies dependencies, QWidget* parent)
    : QWidget(parent)
    , model_(dependencies.checker, dependencies.pasteboard, dependencies.logFile, std::move(dependencies.sleep))
    , column_(new QVBoxLayout(this))
    , copyButton_(new QPushButton(this))
    , cards_(makeCards())
    , logToggle_(makeLogToggle())
    , logViewer_(new LogViewerView(std::make_unique<LogViewerModel>(dependencies.logFile, dependencies.pasteboard,
                                                                    dependencies.workspace),
                                   this))
{
    connect(copyButton_, &QPushButton::clicked, this, [this] { model_.copyReport(); });
    auto* headerRow = new QHBoxLayout;
    headerRow->addWidget(DiagnosticsStyle::sectionHeader(
                             QStringLiteral("诊断与日志"),
                             QStringLiteral("遇到问题时，点这里的「复制诊断信息」把背景资料发给我们"), this),
                         1, Qt::AlignTop);
    headerRow->addWidget(copyButton_, 0, Qt::AlignTop);

    column_->setContentsMargins(20, 20, 20, 20);
    column_->setSpacing(16);
    column_->addLayout(headerRow);
    column_->addWidget(cards_);
    column_->addWidget(logToggle_);
    column_->addWidget(logViewer_, 1);
    column_->addStretch(1);

    subscriptions_.push_back(model_.copied.subscribe([this](bool copied) {
        copyButton_->setText(copied ? QStringLiteral("已复制") : QStringLiteral("复制诊断信息"));
        copyButton_->setIcon(DiagnosticsStyle::clipboardIcon(copied));
        copyButton_->setStyleSheet(DiagnosticsStyle::copyButtonStyleSheet(copied));
    }));
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

    QVBoxLayout* systemBody = nullptr;
    column->addWidget(DiagnosticsStyle::card(QStringLiteral("系统信息"), systemBody, cards));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(6);
    int line = 0;
    for (const auto& [label, value] : DiagnosticsPageModel::systemInfoRows()) {
        grid->addWidget(DiagnosticsStyle::label(label, 12, true, cards), line, 0);
        grid->addWidget(DiagnosticsStyle::label(value, 12, false, cards), line++, 1);
    }
    grid->setColumnStretch(1, 1);
    systemBody->addLayout(grid);

    QVBoxLayout* permissionBody = nullptr;
    column->addWidget(DiagnosticsStyle::card(QStringLiteral("权限状态"), permissionBody, cards));
    for (const VellamorPermission permission : allPermissions()) {
        if (!rows_.empty())
            permissionBody->addWidget(DiagnosticsStyle::rowDivider(cards));
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        auto* icon = new QLabel(cards);
        icon->setPixmap(QIcon::fromTheme(permissionIconName(permission)).pixmap(16, 16));
        icon->setFixedWidth(20);
        row->addWidget(icon);
        row->addWidget(DiagnosticsStyle::label(title(permission), 13, false, cards));
        row->addStretch();
        QLabel* pill = DiagnosticsStyle::label(QString(), 11, false, cards, QFont::Medium);
        row->addWidget(pill);
        auto* grant = new QPushButton(QStringLiteral("去授权"), cards);
        grant->setFont(DiagnosticsStyle::font(11));
        connect(grant, &QPushButton::clicked, this, [this, permission] {
            // Without a settings program the user is told where to look.
            settingsMissing_->setText(
                QStringLiteral("没有找到可打开的系统设置程序，请在桌面的设置中为 Vellamor 开启「%1」。").arg(title(permission)));
            settingsMissing_->setVisible(!model_.openSystemSettings(permission));
        });
        row->addWidget(grant);
        permissionBody->addLayout(row);
        rows_.emplace(permission, PermissionRow{pill, grant});
    }
    settingsMissing_ = DiagnosticsStyle::label(QString(), 11, true, cards);
    settingsMissing_->setWordWrap(true);
    settingsMissing_->hide();
    permissionBody->addWidget(settingsMissing_);
    return cards;
}

QPushButton* DiagnosticsPage::makeLogToggle()
{
    auto* toggle = new QPushButton(this);
    toggle->setFlat(true);
    toggle->setCursor(Qt::PointingHandCursor);
    auto* line = new QHBoxLayout(toggle);
    line->setContentsMargins(0, 8, 0, 8);
    QLabel* label = DiagnosticsStyle::label(QStringLiteral("最近日志"), 13, false, toggle, QFont::Medium);
    chevron_ = DiagnosticsStyle::label(QString(), 12, true, toggle, QFont::Medium);
    for (QLabel* part : {label, chevron_})
        part->setAttribute(Qt::WA_TransparentForMouseEvents);
    line->addWidget(label);
    line->addStretch();
    line->addWidget(chevron_);
    toggle->setMinimumHeight(label->sizeHint().height() + 16);
    connect(toggle, &QPushButton::clicked, this, [this] { model_.toggleLogs(); });
    return toggle;
}

void DiagnosticsPage::showStatuses(const PermissionStatuses& statuses)
{
    for (const auto& [permission, row] : rows_) {
        const VellamorPermissionStatus status = statuses.value(permission, VellamorPermissionStatus::notDetermined);
        const StatusLook look = lookOf(status);
        row.pill->setText(look.text);
        row.pill->setStyleSheet(DiagnosticsStyle::pillStyleSheet(look.tone));
        row.grant->setVisible(status != VellamorPermissionStatus::granted);
    }
}

void DiagnosticsPage::showLogs(bool open)
{
    cards_->setVisible(!open);
    logViewer_->setVisible(open);
    chevron_->setText(open ? QStringLiteral("▴") : QStringLiteral("▾"));
    // The open log takes the room the closing space had.
    column_->setStretch(column_->count() - 1, open ? 0 : 1);
}

void DiagnosticsPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        model_.appear();
}

} // namespace vellamor
