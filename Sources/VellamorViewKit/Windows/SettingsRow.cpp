#include "Windows/SettingsRow.h"

#include "Windows/ThemedLabel.h"
#include "Windows/WindowTheme.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vellamor {

SettingsRow::SettingsRow(const QString& title, const std::optional<QString>& subtitle, QWidget* control,
                         QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 6, 0, 6);
    layout->setSpacing(14);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(new ThemedLabel(title, WindowTheme::font(13), &WindowTheme::primary, this));
    if (subtitle) {
        explanation_ = new ThemedLabel(*subtitle, WindowTheme::font(11), &WindowTheme::secondary, this);
        explanation_->setWordWrap(true);
        texts->addWidget(explanation_);
    }
    // The control stands level with the title line.
    layout->addLayout(texts, 1);
    layout->addSpacing(16);
    if (control)
        layout->addWidget(control, 0, Qt::AlignTop);
}

void SettingsRow::setSubtitle(const QString& subtitle)
{
    if (explanation_)
        explanation_->setText(subtitle);
}

QString SettingsRow::subtitle() const
{
    return explanation_ ? explanation_->text() : QString();
}

} // namespace vellamor
