#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace vellamor {

// File operations of the account storage. Failures throw FileSystemError.
namespace storage_files {

// Creates the folder and every missing parent with the default modes.
void createFolder(const QString& path);

// Like createFolder, with the last folder made (or narrowed to) owner-only.
// A mode that cannot be set is reported to `onModeFailure` and not thrown:
// the folder is still usable.
void createPrivateFolder(const QString& path, const std::function<void(const QString& reason)>& onModeFailure);

// The whole file; none when nothing exists at `path`.
std::optional<QByteArray> readFileIfPresent(const QString& path);

// Replaces the file at `path` with `bytes` in one rename, so a reader sees
// the old file or the new one, never part of one. The bytes go to a
// temporary file created owner-only (0600) before any byte is written, and
// reach the disk before the rename. Reported like createPrivateFolder.
void writePrivateFileAtomically(const QString& path, const QByteArray& bytes,
                                const std::function<void(const QString& reason)>& onModeFailure);

} // namespace storage_files

} // namespace vellamor
