#pragma once

#include "HistoryWindows/DictionaryView.h"
#include "HistoryWindows/DictionaryViewModel.h"
#include "Windows/ClosedWindowRelease.h"
#include "Windows/WindowServices.h"

#include <memory>

namespace vellamor {

// Owns the dictionary window and its view model. Both are built on show()
// and kept while the window is shown or was closed only a moment ago: the
// model keeps following the signed-in state meanwhile. Once the window stays
// closed both are released; the query and the frame outlive them. Main
// thread only.
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

    // None until show(), and again once a closed window was released.
    DictionaryViewModel* viewModel() const { return viewModel_.get(); }
    DictionaryView* window() const { return window_.get(); }

private:
    void build();
    void releaseWindow();

    Dependencies dependencies_;
    KeptWindowState kept_;
    std::unique_ptr<DictionaryViewModel> viewModel_;
    std::unique_ptr<DictionaryView> window_;
    ClosedWindowRelease release_;
};

} // namespace vellamor
