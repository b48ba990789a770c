#pragma once

#include <QSizeF>

namespace vellamor {

// The island's geometry. Pills and the expanded island carry their size;
// the other shapes have one fixed panel size each.
class IslandShape {
public:
    enum class Kind { pill, expanded, hidden, done, cancelled, warn, failed };

    // The widest the island gets.
    static constexpr double expandedWidth = 380;

    static IslandShape pill(double width) { return IslandShape(Kind::pill, width, 0); }
    static IslandShape expanded(double width, double height) { return IslandShape(Kind::expanded, width, height); }
    static IslandShape hidden() { return IslandShape(Kind::hidden); }
    static IslandShape done() { return IslandShape(Kind::done); }
    static IslandShape cancelled() { return IslandShape(Kind::cancelled); }
    static IslandShape warn() { return IslandShape(Kind::warn); }
    static IslandShape failed() { return IslandShape(Kind::failed); }

    Kind kind() const { return kind_; }

    // The size of the panel that shows this shape, in logical pixels.
    QSizeF panelSize() const;

    // `pill(326)`, `expanded(380, 126)`, `hidden`.
    QString debugDescription() const;

    friend bool operator==(const IslandShape&, const IslandShape&) = default;

private:
    explicit IslandShape(Kind kind, double width = 0, double height = 0) : kind_(kind), width_(width), height_(height)
    {
    }

    Kind kind_;
    double width_;
    double height_;
};

} // namespace vellamor
