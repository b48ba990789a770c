#pragma once

#include "Windows/PillTone.h"

#include <QString>
#include <QWidget>

#include <optional>

namespace vellamor {

// A coloured capsule with a short status text, led by a symbol when given
// and by a dot otherwise. Its width is fixed; a layout that lets it shrink
// (a horizontal policy of Maximum) gets the text cut short with an ellipsis
// and the whole text as the tool tip.
class StatusPill : public QWidget
{
    Q_OBJECT

public:
    StatusPill(const QString& text, PillTone tone, const std::optional<QString>& icon = std::nullopt,
               QWidget* parent = nullptr);

    PillTone tone() const { return tone_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PillTone tone_;
};

} // namespace vellamor
