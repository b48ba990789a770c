#pragma once

#include <QByteArray>
#include <QString>

namespace vellamor {

// One WebSocket message: text or binary.
class WSMessage {
public:
    // Declaration order of the cases.
    enum class Kind { text, binary };

    static WSMessage text(QString text);
    static WSMessage binary(QByteArray data);

    Kind kind() const { return kind_; }
    bool isText() const { return kind_ == Kind::text; }
    bool isBinary() const { return kind_ == Kind::binary; }
    // The payload of text; empty for binary.
    const QString& text() const { return text_; }
    // The payload of binary; empty for text.
    const QByteArray& data() const { return data_; }

    // `text("…")` or `binary(640 bytes)`.
    QString debugDescription() const;

    friend bool operator==(const WSMessage&, const WSMessage&) = default;

private:
    explicit WSMessage(Kind kind) : kind_(kind) {}

    Kind kind_;
    QString text_;
    QByteArray data_;
};

} // namespace vellamor
