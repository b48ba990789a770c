#pragma once

#include "Windows/PlaceholderWindow.h"

namespace vellamor {

// The dictionary window; a placeholder until it exists. Main thread only.
class DictionaryWindowController {
public:
    DictionaryWindowController();

    void show();

    PlaceholderWindow& window() { return window_; }

private:
    PlaceholderWindow window_;
};

} // namespace vellamor
