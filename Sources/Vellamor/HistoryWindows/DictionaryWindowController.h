#pragma once

#include "HistoryWindows/DictionaryView.h"
#include "HistoryWindows/DictionaryViewModel.h"
#include "Windows/WindowServices.h"

#include <memory>

namespace vellamor {

// Owns the dictionary window and its view model. Both are built on the
// first show() and then kept for the life of the process: the model keeps
// following the signed-in state while the window is closed, and closing
// the window only hides it. Main thread only.
class DictionaryWindowController {
public:
    struct Dependencies {
        // The model's own client comes from here, never the sync engine's.
        WindowServices services;
        std::shared_ptr<AuthSessionObserver> auth;
        SleepFunction sleep;
        DictionaryView::SignInPresenter presentSignIn;
    };

    explicit DictionaryWindowController(Dependencies dependencies);
    ~DictionaryWindowController();

    // Brings the window to the front, built on the first call, and reloads.
    void show();

    // None until the first show().
    DictionaryViewModel* viewModel() const { return viewModel_.get(); }
    DictionaryView* window() const { return window_.get(); }

private:
    Dependencies dependencies_;
    std::unique_ptr<DictionaryViewModel> viewModel_;
    std::unique_ptr<DictionaryView> window_;
};

} // namespace vellamor
