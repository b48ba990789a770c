#pragma once

#include "Context/FrontmostAppProbe.h"
#include "FrontmostApp/DesktopEntryIndex.h"
#include "Platform/ActiveWindow/ActiveWindowReader.h"

#include <memory>

namespace vellamor {

// The application in front is the one owning the active window; its
// identifier comes from FrontmostAppResolver.
class ActiveWindowFrontmostAppProbe final : public FrontmostAppProbe {
public:
    ActiveWindowFrontmostAppProbe(std::shared_ptr<platform::ActiveWindowReader> reader,
                                  std::shared_ptr<DesktopEntryIndex> applications);

    FrontmostAppInfo current() override;

private:
    std::shared_ptr<platform::ActiveWindowReader> reader_;
    std::shared_ptr<DesktopEntryIndex> applications_;
};

} // namespace vellamor
