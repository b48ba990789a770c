#pragma once

#include "Dictation/DictationState.h"

#include <QColor>
#include <QRectF>

#include <array>

class QPainter;

namespace vellamor {

// A progress fill in four coloured segments with thin dividers between
// them, drawn behind the island's row. The segment boundaries match the
// bands the model's progress runs through per phase.
class SegmentedProgressBackground {
public:
    using Cuts = std::array<double, 5>;
    static constexpr Cuts islandCuts{0.0, 0.34, 0.64, 0.84, 1.0};

    SegmentedProgressBackground(double progress, DictationState state, Cuts cuts = islandCuts);

    // All danger when the session failed.
    QColor segmentColor(int index) const;

    // Fills `area`; the caller clips it to the island.
    void paint(QPainter& painter, const QRectF& area) const;

private:
    double progress_;
    DictationState state_;
    Cuts cuts_;
};

} // namespace vellamor
