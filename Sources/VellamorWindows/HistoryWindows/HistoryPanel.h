#pragma once

#include <QWidget>

namespace vellamor {

class HistoryView;
class HistoryViewModel;

// The floating window of the history panel: 320 × 300, above other windows,
// without a title bar, and never taking the keyboard focus, so the
// application in front keeps its cursor while the user clicks a row.
// Closing only hides it. Without a frame of the window manager's, it draws
// its own 1 px edge.
class HistoryPanel final : public QWidget
{
    Q_OBJECT

public:
    static QString title() { return QStringLiteral("Vellamor 历史记录"); }

    explicit HistoryPanel(HistoryViewModel& model);
    ~HistoryPanel() override;

    HistoryView& view() { return *view_; }

    // Shows and raises it without activating it.
    void orderFront();
    void centreOnScreen();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    HistoryView* view_;
};

} // namespace vellamor
