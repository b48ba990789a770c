#pragma once

#include "InputSourceWindows/PairingSheetViewModel.h"

#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace vellamor {

class QRCodeView;
class ThemedLabel;

// The sheet that binds a phone: it shows a new pairing code as a QR code
// and closes itself once a phone has claimed it. The code is created and
// the polling started each time it is shown; both stop when it hides.
class PairingSheet : public QDialog {
    Q_OBJECT

public:
    PairingSheet(std::shared_ptr<InputSourceAPIProtocol> api, SleepFunction sleep = &sleepFor,
                 PairingSheetViewModel::Clock now = &Date::now, QWidget* parent = nullptr);
    ~PairingSheet() override;

    PairingSheetViewModel& viewModel() { return *viewModel_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Children of content_, one for each phase.
    void buildLoadingPage();
    void buildReadyPage();
    void buildFailedPage();
    void render();

    PairingSheetViewModel* viewModel_;
    QStackedWidget* content_;
    QWidget* loading_;
    QWidget* ready_;
    QWidget* failed_;
    QRCodeView* qrCode_;
    ThemedLabel* code_;
    ThemedLabel* expiry_;
    QLabel* failure_;
    QPushButton* done_;
    std::vector<Subscription> subscriptions_;
};

} // namespace vellamor
