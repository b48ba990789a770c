#include "Diagnostics/LogViewerView.h"

#include "Windows/PaintKit.h"
#include "Windows/RowDivider.h"
#include "Windows/Symbols.h"
#include "Windows/ThemedLabel.h"
#include "Windows/ViewKit.h"
#include "Windows/WindowTheme.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vellamor {

LogViewerView::LogViewerView(std::unique_ptr<LogViewerModel> model, QWidget* parent)
    : QWidget(parent)
    , model_(std::move(model))
    , linesBox_(new QSpinBox(this))
    , refreshButton_(new QPushButton(QStringLiteral("刷新"), this))
    , copyButton_(new QPushButton(QStringLiteral("复制"), this))
    , revealButton_(new QPushButton(QStringLiteral("在文件管理器显示"), this))
    , statusLabel_(captionLabel(QString(), this))
    , spinner_(new QProgressBar(this))
    , textArea_(new QPlainTextEdit(this))
{
    linesBox_->setRange(LogViewerModel::minimumLines, LogViewerModel::maximumLines);
    linesBox_->setSingleStep(LogViewerModel::lineStep);
    linesBox_->setPrefix(QStringLiteral("行数 "));
    linesBox_->setValue(model_->lines());
    linesBox_->setFixedWidth(160);
    linesBox_->setFont(WindowTheme::captionFont());
    connect(linesBox_, &QSpinBox::valueChanged, this, [this](int lines) { model_->setLines(lines); });

    connect(refreshButton_, &QPushButton::clicked, this, [this] { model_->reload(); });
    connect(copyButton_, &QPushButton::clicked, this, [this] { model_->copy(); });
    connect(revealButton_, &QPushButton::clicked, this, [this] { model_->reveal(); });
    revealButton_->setEnabled(model_->canReveal());

    auto* toolbar = new QHBoxLayout;
    toolbar->setSpacing(10);
    toolbar->addWidget(linesBox_);
    toolbar->addStretch();
    toolbar->addWidget(refreshButton_);
    toolbar->addWidget(copyButton_);
    toolbar->addWidget(revealButton_);

    spinner_->setRange(0, 0);
    spinner_->setTextVisible(false);
    spinner_->setFixedSize(48, 8);
    auto* meta = new QHBoxLayout;
    meta->setSpacing(8);
    meta->addWidget(statusLabel_);
    meta->addStretch();
    meta->addWidget(spinner_);

    textArea_->setReadOnly(true);
    textArea_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    textArea_->setFont(WindowTheme::monospacedFont(11));
    textArea_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    textArea_->document()->setDocumentMargin(8);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(10);
    column->setContentsMargins(12, 12, 12, 12);
    column->addLayout(toolbar);
    column->addWidget(new RowDivider(this));
    column->addLayout(meta);
    column->addWidget(textArea_, 1);
    applyStyle();

    subscriptions_.push_back(model_->content.subscribe([this](const QString& content) {
        textArea_->setPlainText(content.isEmpty() ? QStringLiteral("（空）") : content);
        copyButton_->setEnabled(!content.isEmpty());
    }));
    subscriptions_.push_back(model_->status.subscribe([this](const QString& status) { statusLabel_->setText(status); }));
    subscriptions_.push_back(model_->isLoading.subscribe([this](bool loading) {
        spinner_->setVisible(loading);
        refreshButton_->setEnabled(!loading);
    }));
}

LogViewerView::~LogViewerView() = default;

void LogViewerView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        model_->reload();
}

void LogViewerView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyStyle();
}

void LogViewerView::applyStyle()
{
    const std::pair<QPushButton*, QString> symbols[] = {
        {refreshButton_, QStringLiteral("arrow.clockwise")},
        {copyButton_, QStringLiteral("doc.on.doc")},
        {revealButton_, QStringLiteral("folder")},
    };
    for (const auto& [button, symbol] : symbols)
        button->setIcon(QIcon(Symbols::pixmap(symbol, 14, WindowTheme::primary())));
    // On the text background, with a faint rounded border; half a point of
    // border rounds up to the one pixel a style sheet draws.
    const QPalette palette = QGuiApplication::palette();
    textArea_->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: %1; color: %2; border: 1px solid %3; border-radius: 4px; }")
            .arg(palette.color(QPalette::Base).name(), palette.color(QPalette::Text).name(),
                 PaintKit::withOpacity(WindowTheme::secondary(), 0.3).name(QColor::HexArgb)));
}

} // namespace vellamor
