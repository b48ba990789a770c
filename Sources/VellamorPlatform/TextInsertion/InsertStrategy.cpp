#include "TextInsertion/InsertStrategy.h"

#include <array>

namespace vellamor {

namespace {

struct Named {
    InsertStrategy strategy;
    const char* raw;
};

constexpr std::array<Named, 5> names{{
    {InsertStrategy::ax, "ax"},
    {InsertStrategy::keyboard, "keyboard"},
    {InsertStrategy::clipboard, "clipboard"},
    {InsertStrategy::noTarget, "noTarget"},
    {InsertStrategy::allFailed, "allFailed"},
}};

} // namespace

QString rawValue(InsertStrategy strategy)
{
    for (const auto& named : names) {
        if (named.strategy == strategy)
            return QString::fromLatin1(named.raw);
    }
    return {};
}

std::optional<InsertStrategy> insertStrategyFromRawValue(const QString& raw)
{
    for (const auto& named : names) {
        if (raw == QLatin1String(named.raw))
            return named.strategy;
    }
    return std::nullopt;
}

} // namespace vellamor
