#include "History/LegacyJSONMigrator.h"

#include "Models/KeychainDateCoding.h"
#include "Storage/FileSystemError.h"
#include "Storage/SQLiteAccountStore.h"
#include "Storage/StorageFiles.h"
#include "Support/Json/JsonValue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QList>

#include <cstdio>

namespace vellamor {

namespace {

// The whole array or nothing: the records are handed over only once every
// element decoded.
std::optional<QList<HistoryRecord>> decodeRecords(const QByteArray& contents)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(contents, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<HistoryRecord> records;
    records.reserve(array.size());
    try {
        for (qsizetype index = 0; index < array.size(); ++index) {
            const QString path = json::indexPath({}, index);
            records.push_back(HistoryRecord::fromJson(array.at(index), path, &decodeKeychainDate));
        }
    } catch (const Error&) {
        return std::nullopt;
    }
    return records;
}

void writeMarker(const QString& path)
{
    QFile marker(path);
    (void)marker.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

} // namespace

VellamorLog LegacyJSONMigrator::defaultLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("legacy-migrator"));
}

void LegacyJSONMigrator::runIfNeeded(const std::optional<QString>& appSupportRoot, const Importer& importer,
                                     const VellamorLog& log)
{
    const QString root = appSupportRoot.value_or(SQLiteAccountStore::defaultBaseDirectory());
    const QString legacyFolder = root + QStringLiteral("/legacy");
    const QString marker = legacyFolder + QStringLiteral("/.migrated-history");
    const QString source = root + QStringLiteral("/history.json");
    const QString destination = legacyFolder + QStringLiteral("/history.json");

    if (QFile::exists(marker))
        return;
    try {
        storage_files::createFolder(legacyFolder);
    } catch (const FileSystemError& error) {
        log.warn(QStringLiteral("legacy dir create failed: ") + error.debugDescription());
        return;
    }
    if (!QFile::exists(source)) {
        writeMarker(marker);
        return;
    }

    QByteArray contents;
    try {
        contents = storage_files::readFileIfPresent(source).value_or(QByteArray());
    } catch (const FileSystemError& error) {
        log.warn(QStringLiteral("legacy history read failed: ") + error.debugDescription());
    }
    if (!contents.isEmpty()) {
        if (const auto records = decodeRecords(contents)) {
            for (const HistoryRecord& record : *records)
                importer(record);
            log.info(QStringLiteral("legacy history migrated: count=") + QString::number(records->size()));
        } else {
            log.warn(QStringLiteral("legacy history decode failed, skipping content"));
        }
    }

    // The copy below refuses an existing destination; rename would replace it.
    QFile::remove(destination);
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(destination).constData()) != 0) {
        const auto error = FileSystemError::fromErrno(FileSystemError::Kind::writeFailed, destination);
        log.warn(QStringLiteral("legacy move failed: ") + error.debugDescription() + QStringLiteral("; try copy"));
        // Without a copy the source is the only one left.
        if (QFile::copy(source, destination))
            QFile::remove(source);
    }
    writeMarker(marker);
}

} // namespace vellamor
