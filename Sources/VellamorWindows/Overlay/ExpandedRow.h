#pragma once

#include <QColor>
#include <QVariantAnimation>
#include <QWidget>

class QGraphicsOpacityEffect;

namespace vellamor {

class OverlayLabel;
class OverlayScrollArea;
class OverlayViewModel;

// The recognised text ("原文", at most three lines) above the polished text
// ("润色", never cut), in a scroll view without scroll bars whose bottom edge
// fades into the island. It fades in where it stands when it appears: rows
// sliding in under the status line would show the lower one first, alone,
// and then push it down with the one above.
class ExpandedRow : public QWidget {
    Q_OBJECT

public:
    // `model` must outlive the row.
    explicit ExpandedRow(OverlayViewModel& model, QWidget* parent = nullptr);

    void apply();
    // Runs the entrance; the island calls it when the row comes on screen.
    void playEntrance();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The small caption of one text row.
    static OverlayLabel* labelText(const QString& text, const QColor& color, QWidget* parent);
    void place();

    OverlayViewModel& model_;
    OverlayScrollArea* scroll_;
    QWidget* finalRow_;
    OverlayLabel* finalText_;
    QWidget* polishedRow_;
    OverlayLabel* polishedText_;
    QWidget* fade_;
    QGraphicsOpacityEffect* entranceOpacity_;
    QVariantAnimation entrance_;
};

} // namespace vellamor
