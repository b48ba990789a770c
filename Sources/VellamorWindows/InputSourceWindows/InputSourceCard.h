#pragma once

#include "AccountWindows/AccountServices.h"
#include "InputSourceWindows/InputSourceCardViewModel.h"
#include "InputSourceWindows/PairingSheet.h"
#include "Support/Async/Published.h"
#include "Windows/RedrawBatch.h"
#include "Windows/WindowServices.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class QPushButton;

namespace vellamor {

class AuthSessionObserver;
class InputSourceList;
class ThemedLabel;

// The account page's list of bound input sources, with revoking and the
// pairing sheet. It reloads when it comes on screen, when the signed-in
// state changes while it shows (signing out empties it even hidden), when
// `listChanged` fires, and when the pairing sheet closes; each reload reads
// the signed-in state as it starts. Main thread only.
class InputSourceCard : public QWidget {
    Q_OBJECT

public:
    InputSourceCard(WindowServices::Factory<InputSourceAPIProtocol> clients, std::shared_ptr<AuthSessionObserver> auth,
                    const AccountServices::ChangeSubscriber& listChanged, QWidget* parent = nullptr);
    ~InputSourceCard() override;

    InputSourceCardViewModel& viewModel() { return *viewModel_; }
    PairingSheet* openSheet() const { return sheet_.data(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reload();
    void presentSheet();
    void renderList();

    WindowServices::Factory<InputSourceAPIProtocol> clients_;
    std::shared_ptr<AuthSessionObserver> auth_;
    InputSourceCardViewModel* viewModel_;
    QPushButton* add_;
    ThemedLabel* placeholder_;
    InputSourceList* list_;
    ThemedLabel* error_;
    QPointer<PairingSheet> sheet_;
    std::vector<Subscription> subscriptions_;
    // One rebuild of the rows per turn, however many fields a reload sets.
    RedrawBatch redraw_{this, [this] { renderList(); }};
};

} // namespace vellamor
