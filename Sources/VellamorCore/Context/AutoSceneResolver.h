#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vellamor {

// Maps the identifier of the frontmost application to the scene the speech
// service is told about. Each list holds identifier prefixes, compared
// exactly and case-sensitively; the lists are tried in the order email,
// chat, code and the first match wins. Besides the macOS bundle identifiers
// each list carries the Linux desktop-file ids and lower-cased window
// classes of the same kinds of application.
class AutoSceneResolver {
public:
    AutoSceneResolver() = delete;

    static const QStringList& email();
    static const QStringList& chat();
    static const QStringList& code();

    // "email", "chat", "code", or none when no prefix matches or the
    // identifier is absent or empty.
    static std::optional<QString> resolve(const std::optional<QString>& bundleID);
};

} // namespace vellamor
