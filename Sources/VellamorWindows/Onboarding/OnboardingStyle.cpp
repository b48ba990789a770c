#include "Onboarding/OnboardingStyle.h"

#include "Windows/WindowTheme.h"

#include <QPushButton>

namespace vellamor {

namespace {

ThemedLabel* wrapping(const QString& text, const QFont& font, ThemedLabel::Ink ink, QWidget* parent)
{
    auto* label = new ThemedLabel(text, font, std::move(ink), parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

ThemedLabel* OnboardingStyle::subtitle(const QString& text, QWidget* parent)
{
    return wrapping(text, WindowTheme::calloutFont(), &WindowTheme::secondary, parent);
}

ThemedLabel* OnboardingStyle::footnote(const QString& text, QWidget* parent)
{
    return wrapping(text, WindowTheme::captionFont(), &WindowTheme::secondary, parent);
}

ThemedLabel* OnboardingStyle::body(const QString& text, QWidget* parent)
{
    return wrapping(text, WindowTheme::calloutFont(), &WindowTheme::primary, parent);
}

void OnboardingStyle::makeProminent(QPushButton& button)
{
    // The disabled look stays the platform's own.
    QPalette prominent = button.palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        prominent.setColor(group, QPalette::Button, WindowTheme::accent());
        prominent.setColor(group, QPalette::ButtonText, Qt::white);
    }
    button.setPalette(prominent);
    button.setFont(WindowTheme::font(13, QFont::Medium));
    button.setMinimumHeight(30);
}

} // namespace vellamor
