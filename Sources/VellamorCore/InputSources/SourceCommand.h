#pragma once

#include "InputSources/PairingRequestPayload.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace vellamor {

// One command pushed on the source-command socket: text a paired phone
// sends, a device asking to be bound, or a notice about a bound source.
//
// Wire form: one JSON object whose "type" (compared exactly) selects the case:
//   "insert"           "text", "source_id", "seq"
//   "pairing_request"  "payload" (a PairingRequestPayload)
//   "source_revoked", "source_updated", "source_connected"   "source_id"
// The members a type uses are required, ids and "seq" exact integers; any
// other member is ignored.
class SourceCommand {
public:
    // Declaration order of the cases.
    enum class Kind { insert, pairingRequest, sourceRevoked, sourceUpdated, sourceConnected };

    static SourceCommand insert(QString text, qint64 sourceID, qint64 seq);
    static SourceCommand pairingRequest(PairingRequestPayload payload);
    static SourceCommand sourceRevoked(qint64 sourceID);
    static SourceCommand sourceUpdated(qint64 sourceID);
    static SourceCommand sourceConnected(qint64 sourceID);

    // The five wire types, in case order.
    static const QStringList& knownTypes();

    // Throws JsonError when the text is not such an object; an unknown type
    // is an invalidValue at "type" saying "unknown source command type=<type>".
    static SourceCommand decode(const QByteArray& json);

    Kind kind() const { return kind_; }
    // The wire type, which log lines also name the command by.
    QString typeLabel() const;
    // The text of insert; empty otherwise.
    const QString& text() const { return text_; }
    // The source the command is about (for pairingRequest, the payload's).
    qint64 sourceID() const { return sourceID_; }
    // The sequence number of insert; 0 otherwise.
    qint64 seq() const { return seq_; }
    // The payload of pairingRequest; none otherwise.
    const std::optional<PairingRequestPayload>& payload() const { return payload_; }

    friend bool operator==(const SourceCommand&, const SourceCommand&) = default;

private:
    SourceCommand(Kind kind, qint64 sourceID) : kind_(kind), sourceID_(sourceID) {}

    Kind kind_;
    QString text_;
    qint64 sourceID_ = 0;
    qint64 seq_ = 0;
    std::optional<PairingRequestPayload> payload_;
};

} // namespace vellamor
