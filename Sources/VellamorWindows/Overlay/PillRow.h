#pragma once

#include "Dictation/DictationState.h"
#include "Overlay/IslandShape.h"

#include <QColor>
#include <QString>
#include <QWidget>

class QSpacerItem;

namespace vellamor {

class ActionPill;
class CancelButton;
class ModeHintPill;
class OverlayLabel;
class OverlayViewModel;
class PinButton;
class StatusLED;
class ThinkingLabel;
class Waveform;

// The island's status line, 32 high: the status dot, the waveform and clock
// while recording, the status text, and one action (retry, pin or cancel).
// While the session is being transcribed and no text has arrived yet it
// shrinks to "思考中" with moving dots and the cancel button. A finished
// session says "写入", without the pin, until its text's outcome is known.
class PillRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int rowHeight = 32;

    // `model` must outlive the row.
    explicit PillRow(OverlayViewModel& model, QWidget* parent = nullptr);

    // Shows the model as the island draws it for `shape`.
    void apply(const IslandShape& shape);

    // The width the row needs to show `shape` with its whole status text.
    double fittingWidth(const IslandShape& shape);

    // Said instead of "已插入" when the text only reached the clipboard.
    static QString copiedText();

    // "%d:%02d" of whole minutes and seconds; an hour reads 60:00.
    static QString elapsedText(qint64 millis);

private:
    // The state the row speaks for: a finished session whose text is still
    // being delivered shows as inserting.
    DictationState::Kind shownKind() const;
    bool isCompactThinking() const;
    QString statusText(const IslandShape& shape) const;
    QColor ledColor(const IslandShape& shape) const;

    OverlayViewModel& model_;
    QWidget* compact_;
    ThinkingLabel* thinking_;
    QWidget* standard_;
    StatusLED* led_;
    Waveform* waveform_;
    OverlayLabel* status_;
    QSpacerItem* gap_;
    OverlayLabel* elapsed_;
    ActionPill* retry_;
    PinButton* pin_;
    CancelButton* cancel_;
    ModeHintPill* modeHint_;
};

} // namespace vellamor
