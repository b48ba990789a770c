#include "InputSources/SourceCommand.h"

#include "Support/Json/JsonReader.h"

#include <utility>

namespace vellamor {

SourceCommand SourceCommand::insert(QString text, qint64 sourceID, qint64 seq)
{
    SourceCommand command(Kind::insert, sourceID);
    command.text_ = std::move(text);
    command.seq_ = seq;
    return command;
}

SourceCommand SourceCommand::pairingRequest(PairingRequestPayload payload)
{
    SourceCommand command(Kind::pairingRequest, payload.sourceID);
    command.payload_ = std::move(payload);
    return command;
}

SourceCommand SourceCommand::sourceRevoked(qint64 sourceID)
{
    return SourceCommand(Kind::sourceRevoked, sourceID);
}

SourceCommand SourceCommand::sourceUpdated(qint64 sourceID)
{
    return SourceCommand(Kind::sourceUpdated, sourceID);
}

SourceCommand SourceCommand::sourceConnected(qint64 sourceID)
{
    return SourceCommand(Kind::sourceConnected, sourceID);
}

const QStringList& SourceCommand::knownTypes()
{
    static const QStringList types{QStringLiteral("insert"), QStringLiteral("pairing_request"),
                                   QStringLiteral("source_revoked"), QStringLiteral("source_updated"),
                                   QStringLiteral("source_connected")};
    return types;
}

QString SourceCommand::typeLabel() const
{
    return knownTypes().at(static_cast<qsizetype>(kind_));
}

SourceCommand SourceCommand::decode(const QByteArray& json)
{
    const JsonReader frame = JsonReader::parse(json);
    const QString type = frame.requireString(u"type");
    if (type == u"insert")
        return insert(frame.requireString(u"text"), frame.requireInt64(u"source_id"), frame.requireInt64(u"seq"));
    if (type == u"pairing_request")
        return pairingRequest(PairingRequestPayload::fromJson(frame.value(u"payload"), frame.pathFor(u"payload")));
    if (type == u"source_revoked")
        return sourceRevoked(frame.requireInt64(u"source_id"));
    if (type == u"source_updated")
        return sourceUpdated(frame.requireInt64(u"source_id"));
    if (type == u"source_connected")
        return sourceConnected(frame.requireInt64(u"source_id"));
    throw frame.invalidValue(u"type", QStringLiteral("unknown source command type=") + type);
}

} // namespace vellamor
