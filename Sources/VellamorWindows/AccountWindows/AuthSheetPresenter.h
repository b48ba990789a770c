#pragma once

#include "Support/Async/Sleep.h"

#include <QPointer>

#include <memory>

class QWidget;

namespace vellamor {

class AuthAPIProtocol;
class AuthSession;
class AuthSheet;

// Opens the sign-in sheet for whoever asks, with what it needs. One sheet
// at a time: asking again while one is open brings that one to the front.
// Main thread only.
class AuthSheetPresenter {
public:
    AuthSheetPresenter(std::shared_ptr<AuthAPIProtocol> codes, std::shared_ptr<AuthSession> session,
                       SleepFunction sleep = &sleepFor);
    ~AuthSheetPresenter();

    AuthSheetPresenter(const AuthSheetPresenter&) = delete;
    AuthSheetPresenter& operator=(const AuthSheetPresenter&) = delete;

    // A fresh sheet, window-modal on `over`'s window, or a window of its own
    // when `over` is none. It deletes itself once closed.
    AuthSheet* present(QWidget* over = nullptr);
    // The sheet on show, if any.
    AuthSheet* openSheet() const;

private:
    std::shared_ptr<AuthAPIProtocol> codes_;
    std::shared_ptr<AuthSession> session_;
    SleepFunction sleep_;
    QPointer<AuthSheet> sheet_;
};

} // namespace vellamor
