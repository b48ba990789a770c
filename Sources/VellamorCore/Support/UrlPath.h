#pragma once

#include <QString>
#include <QUrl>

namespace vellamor {

// Appends `path` to the path of `base`, keeping the base path:
// "https://h/api" + "v1/session" gives "https://h/api/v1/session".
// - Exactly one "/" joins the two, whatever slashes either side brings.
// - `path` is literal text: "%", "?" and "#" in it are percent-encoded, never
//   read as escapes, a query or a fragment; "/" separates segments.
// - The query and fragment of `base` are kept.
// - An empty `path` (or one made only of slashes) leaves `base` unchanged.
// A trailing "/" of `path` is kept. Never use QUrl::resolved for this: it
// drops the base's last path segment.
QUrl appendingPath(const QUrl& base, const QString& path);

} // namespace vellamor
