#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace vellamor {

// The application in front. On Linux the identifier is the application's
// desktop-file id ("org.mozilla.Thunderbird", "code") or, when no desktop file
// is known, its lower-cased window class; none when nothing could be found.
struct FrontmostAppInfo {
    explicit FrontmostAppInfo(std::optional<QString> bundleIdentifier = std::nullopt)
        : bundleIdentifier(std::move(bundleIdentifier))
    {
    }

    std::optional<QString> bundleIdentifier;

    friend bool operator==(const FrontmostAppInfo&, const FrontmostAppInfo&) = default;
};

} // namespace vellamor
