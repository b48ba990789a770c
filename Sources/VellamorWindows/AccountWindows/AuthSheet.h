#pragma once

#include "AccountWindows/AuthSheetViewModel.h"
#include "Support/Async/Published.h"

#include <QDialog>

#include <memory>
#include <optional>

class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vellamor {

// The one sign-in sheet: a dialog the account card, onboarding, the history
// panel and the dictionary window open with open(), window-modal on their
// window. It needs nothing from its presenter and closes itself after a
// successful sign-in; the presenter learns of the sign-in from the
// authentication session, not from the sheet. While a request runs it
// cannot be cancelled. Each sheet starts afresh.
class AuthSheet : public QDialog {
    Q_OBJECT

public:
    AuthSheet(std::shared_ptr<AuthAPIProtocol> codes, std::shared_ptr<AuthSession> session,
              SleepFunction sleep = &sleepFor, QWidget* parent = nullptr);
    ~AuthSheet() override;

    AuthSheetViewModel& viewModel() { return *viewModel_; }

public Q_SLOTS:
    void reject() override;

protected:
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLayout* buildHeader();
    QLayout* buildTabs();
    QLayout* buildForm();
    QLayout* buildFooter();
    void connectToModel();
    void render(const AuthSheetState& state);

    AuthSheetViewModel* viewModel_;
    QLabel* title_;
    QLabel* subtitle_;
    QPushButton* emailCodeTab_;
    QPushButton* passwordTab_;
    QWidget* emailRow_;
    QLineEdit* email_;
    QLabel* emailCaption_;
    QWidget* codeRow_;
    QLineEdit* code_;
    QWidget* resendRow_;
    QPushButton* resend_;
    QPushButton* changeEmail_;
    QWidget* passwordRow_;
    QLineEdit* password_;
    QLabel* error_;
    QPushButton* cancel_;
    // Built last: none while the sheet is being built.
    QPushButton* primary_ = nullptr;
    std::optional<AuthSheetState::Tab> styledTab_;
    Subscription subscription_;
};

} // namespace vellamor
