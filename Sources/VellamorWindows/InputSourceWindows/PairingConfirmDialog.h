#pragma once

#include "InputSources/PairingRequestPayload.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace vellamor {

// Asks whether a device may be bound to the account. It comes up on top
// without taking the keyboard from the application in front; it can take
// the keyboard once the user has clicked into it, and keys that would press
// a button (Return, Enter, Space) do nothing until then or until the user
// moves its focus with Tab: text typed elsewhere, or by the app's own
// keystroke insertion, cannot bind a phone. What the device says of itself is shown
// as plain text, each part on its own line (oneLineForDisplay).
class PairingConfirmDialog : public QDialog {
    Q_OBJECT

public:
    explicit PairingConfirmDialog(const PairingRequestPayload& payload, QWidget* parent = nullptr);

    QPushButton* confirmButton() const { return confirm_; }
    QPushButton* rejectButton() const { return reject_; }
    // Three lines (device, address, the time of the request), an empty line
    // and what confirming means; "未知设备" and "未知网络" stand for what is
    // missing or shows nothing. As a screen reader reads it; on screen what
    // the device sent may wrap between any two characters.
    const QString& informativeText() const { return informativeText_; }
    bool confirmed() const { return confirmed_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString informativeText_;
    QLabel* informative_;
    QPushButton* confirm_;
    QPushButton* reject_;
    bool armed_ = false;
    bool confirmed_ = false;
};

} // namespace vellamor
