#pragma once

#include <QString>
#include <QWidget>

namespace vellamor {

// What the hotkey does while recording: a stop mark for "toggle" (press
// again to stop), a tapping hand for any other mode (release to stop). Not a
// button; the tooltip says it in words.
class ModeHintPill : public QWidget {
    Q_OBJECT

public:
    explicit ModeHintPill(QWidget* parent = nullptr);

    void setMode(const QString& mode);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool toggle_ = false;
};

} // namespace vellamor
