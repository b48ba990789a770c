#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace vellamor {

// The client's first frame of an ASR session. Keys "type" ("start"), "lang",
// "scene", "style", "polish" (a JSON boolean) and "llm_provider", the last
// only when a model was chosen: never null.
struct WSClientStart {
    WSClientStart(QString lang, QString scene, QString style, bool polish, std::optional<QString> llmProvider);

    const QString& type() const { return type_; }

    QString lang;
    QString scene;
    QString style;
    bool polish;
    std::optional<QString> llmProvider;

    QJsonObject toJson() const;
    // Compact JSON.
    QByteArray encode() const;
    // The encoded frame as the text of a WebSocket text message; throws
    // VellamorTransportError::encodingFailed when the bytes are not UTF-8.
    QString encodeText() const;

    friend bool operator==(const WSClientStart&, const WSClientStart&) = default;

private:
    QString type_ = QStringLiteral("start");
};

} // namespace vellamor
