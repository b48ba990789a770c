#pragma once

#include <QMap>
#include <QString>

#include <optional>

namespace vellamor {

// One event of a recognition session, in the order the service produced it.
class ASRStreamEvent {
public:
    // Declaration order of the cases.
    enum class Kind { partial, final, polish, error, ready, done };

    // A running transcript that replaces the previous one.
    static ASRStreamEvent partial(QString text);
    static ASRStreamEvent final(QString text);
    static ASRStreamEvent polish(QString text);
    // The service's failure: its code (-1 when it gave none), its message
    // (empty when none) and the further string fields of its error payload.
    static ASRStreamEvent error(qint64 code, QString message,
                                std::optional<QMap<QString, QString>> data = std::nullopt);
    static ASRStreamEvent ready();
    static ASRStreamEvent done();

    Kind kind() const { return kind_; }
    // The text of partial, final and polish; empty otherwise.
    const QString& text() const { return text_; }
    // The payload of error; -1, empty and none otherwise.
    qint64 code() const { return code_; }
    const QString& message() const { return message_; }
    const std::optional<QMap<QString, QString>>& data() const { return data_; }

    // `final("text")`, `error(code: 42902, message: "…", data: [kind: …])`, `done`.
    QString debugDescription() const;

    friend bool operator==(const ASRStreamEvent&, const ASRStreamEvent&) = default;

private:
    explicit ASRStreamEvent(Kind kind);

    Kind kind_;
    QString text_;
    qint64 code_ = -1;
    QString message_;
    std::optional<QMap<QString, QString>> data_;
};

} // namespace vellamor
