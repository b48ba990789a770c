#include "Platform/Pasteboard/SelectionTargets.h"

#include <algorithm>

namespace vellamor::platform::SelectionTargets {

namespace {

bool isImage(const QByteArray& target)
{
    return target.startsWith("image/");
}

} // namespace

bool isText(const QByteArray& target)
{
    return target == "UTF8_STRING" || target == "STRING" || target == "TEXT" || target == "COMPOUND_TEXT"
        || target.startsWith("text/plain");
}

QList<QByteArray> worthKeeping(const QList<QByteArray>& offered)
{
    const auto png = std::find(offered.begin(), offered.end(), QByteArrayLiteral("image/png"));
    const auto image = png != offered.end() ? png : std::find_if(offered.begin(), offered.end(), isImage);
    QList<QByteArray> kept;
    for (auto it = offered.begin(); it != offered.end(); ++it) {
        const QByteArray& target = *it;
        if (kept.contains(target) || target == "application/x-qt-image")
            continue;
        if (isImage(target) && it != image)
            continue;
        if (target.contains('/') || isText(target))
            kept << target;
    }
    return kept;
}

} // namespace vellamor::platform::SelectionTargets
