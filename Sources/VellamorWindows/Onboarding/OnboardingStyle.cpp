#include "Onboarding/OnboardingStyle.h"

#include "Windows/WindowTheme.h"

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

} // namespace vellamor
