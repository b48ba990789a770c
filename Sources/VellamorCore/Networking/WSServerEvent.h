#pragma once

#include "Dictation/ASRStreamEvent.h"

#include <QMap>
#include <QString>

#include <optional>

namespace vellamor {

// One event frame from the speech service, decoded. Maps one to one onto
// ASRStreamEvent.
class WSServerEvent {
public:
    // Declaration order of the cases.
    enum class Kind { partial, final, polish, error, ready, done };

    static WSServerEvent partial(QString text);
    static WSServerEvent final(QString text);
    static WSServerEvent polish(QString text);
    static WSServerEvent error(qint64 code, QString message, std::optional<QMap<QString, QString>> data);
    static WSServerEvent ready();
    static WSServerEvent done();

    // The event of one text frame, or none when the frame is not JSON, not an
    // object, has no string "type" or a type not listed here (names are
    // case-sensitive). Fields are read from the payload: the top-level
    // "data" when it is an object, else the whole object.
    // - "text" that is missing or not a string reads as "".
    // - error: "code" must be an integral JSON number, else -1; the message is
    //   "msg" if a string, else "message" if a string, else ""; the data map
    //   holds every other string entry except "code", "msg", "message" and
    //   "type", and is none when there is no such entry.
    static std::optional<WSServerEvent> decode(const QString& text);

    Kind kind() const { return kind_; }
    const QString& text() const { return text_; }
    qint64 code() const { return code_; }
    const QString& message() const { return message_; }
    const std::optional<QMap<QString, QString>>& data() const { return data_; }

    ASRStreamEvent toStreamEvent() const;
    QString debugDescription() const { return toStreamEvent().debugDescription(); }

    friend bool operator==(const WSServerEvent&, const WSServerEvent&) = default;

private:
    explicit WSServerEvent(Kind kind) : kind_(kind) {}

    Kind kind_;
    QString text_;
    qint64 code_ = -1;
    QString message_;
    std::optional<QMap<QString, QString>> data_;
};

} // namespace vellamor
