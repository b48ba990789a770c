#pragma once

#include <QWidget>

namespace vellamor {

// A line of text led by a green check mark.
class OnboardingBulletLine final : public QWidget {
    Q_OBJECT

public:
    explicit OnboardingBulletLine(const QString& text, QWidget* parent = nullptr);
};

} // namespace vellamor
