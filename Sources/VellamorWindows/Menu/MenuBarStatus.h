#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// The three information rows at the top of the status item's menu.
struct MenuBarStatus {
    QString connection;
    QString outputMode;
    // No account row while absent.
    std::optional<QString> account;

    friend bool operator==(const MenuBarStatus&, const MenuBarStatus&) = default;
};

} // namespace vellamor
