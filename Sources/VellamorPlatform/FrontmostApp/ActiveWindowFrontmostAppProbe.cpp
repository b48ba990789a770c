#include "FrontmostApp/ActiveWindowFrontmostAppProbe.h"

#include "FrontmostApp/FrontmostAppResolver.h"

namespace vellamor {

ActiveWindowFrontmostAppProbe::ActiveWindowFrontmostAppProbe(std::shared_ptr<platform::ActiveWindowReader> reader,
                                                             std::shared_ptr<DesktopEntryIndex> applications)
    : reader_(std::move(reader))
    , applications_(std::move(applications))
{
}

FrontmostAppInfo ActiveWindowFrontmostAppProbe::current()
{
    const std::optional<platform::WindowIdentity> window = reader_->activeWindow();
    if (!window)
        return FrontmostAppInfo();
    return FrontmostAppInfo(FrontmostAppResolver::applicationId(*window, [this] { return applications_->entries(); }));
}

} // namespace vellamor
