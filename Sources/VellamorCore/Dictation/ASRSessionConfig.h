#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace vellamor {

// The settings of one recognition session. `endpoint` is the WebSocket base
// URL with "v1/session" appended; language, scene and style go to the
// service unchanged. An absent or empty token means no authorisation.
struct ASRSessionConfig {
    ASRSessionConfig(QUrl endpoint, QString lang, QString scene, QString style, bool polish,
                     std::optional<QString> llmProvider, std::optional<QString> bearerToken);

    QUrl endpoint;
    QString lang;
    QString scene;
    QString style;
    bool polish;
    std::optional<QString> llmProvider;
    std::optional<QString> bearerToken;

    friend bool operator==(const ASRSessionConfig&, const ASRSessionConfig&) = default;
};

} // namespace vellamor
