#pragma once

#include "Windows/ThemedLabel.h"

namespace vellamor {

// The kinds of text and button the guide's pages show (headings come
// from the view kit).
class OnboardingStyle {
public:
    OnboardingStyle() = delete;

    // Callout size in the secondary colour, wrapping.
    static ThemedLabel* subtitle(const QString& text, QWidget* parent);
    // Caption size in the secondary colour, wrapping.
    static ThemedLabel* footnote(const QString& text, QWidget* parent);
    // Callout size in the primary colour, wrapping.
    static ThemedLabel* body(const QString& text, QWidget* parent);
};

} // namespace vellamor
