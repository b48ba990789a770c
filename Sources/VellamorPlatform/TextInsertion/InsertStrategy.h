#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// Which layer put a text in place, or why none did.
enum class InsertStrategy { ax, keyboard, clipboard, noTarget, allFailed };

// "ax", "keyboard", "clipboard", "noTarget", "allFailed".
QString rawValue(InsertStrategy strategy);
std::optional<InsertStrategy> insertStrategyFromRawValue(const QString& raw);

} // namespace vellamor
