#pragma once

#include "Platform/ActiveWindow/ActiveWindowReader.h"

namespace vellamor::test {

// Answers the window the test set and counts the questions.
class FakeActiveWindowReader final : public platform::ActiveWindowReader {
public:
    std::optional<platform::WindowIdentity> activeWindow() override
    {
        ++calls;
        return window;
    }

    std::optional<platform::WindowIdentity> window;
    int calls = 0;
};

} // namespace vellamor::test
