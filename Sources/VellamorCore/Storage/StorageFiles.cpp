#include "Storage/StorageFiles.h"

#include "Storage/FileSystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellamor::storage_files {

namespace {

constexpr mode_t privateFolderMode = 0700;
constexpr mode_t privateFileMode = 0600;

using Kind = FileSystemError::Kind;

QString currentReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Every prefix of the path in turn, so missing parents are made first.
void makeFolders(const QString& path, mode_t lastMode)
{
    const QString clean = QDir::cleanPath(path);
    qsizetype next = 0;
    while (next >= 0) {
        next = clean.indexOf(QLatin1Char('/'), next + 1);
        const QString prefix = next < 0 ? clean : clean.left(next);
        const QByteArray encoded = QFile::encodeName(prefix);
        if (::mkdir(encoded.constData(), next < 0 ? lastMode : 0777) != 0 && errno != EEXIST)
            throw FileSystemError::fromErrno(Kind::createFolderFailed, prefix);
    }
    struct stat status {};
    if (::stat(QFile::encodeName(clean).constData(), &status) != 0)
        throw FileSystemError::fromErrno(Kind::createFolderFailed, clean);
    if (!S_ISDIR(status.st_mode)) {
        errno = ENOTDIR;
        throw FileSystemError::fromErrno(Kind::createFolderFailed, clean);
    }
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) { }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    int get() const { return fd_; }
    // Closes now, so that a failure of the close can be told.
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* cursor = bytes.constData();
    qsizetype remaining = bytes.size();
    while (remaining > 0) {
        const ssize_t count = ::write(fd, cursor, static_cast<size_t>(remaining));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        cursor += count;
        remaining -= count;
    }
    return true;
}

} // namespace

void createFolder(const QString& path)
{
    makeFolders(path, 0777);
}

void createPrivateFolder(const QString& path, const std::function<void(const QString& reason)>& onModeFailure)
{
    makeFolders(path, privateFolderMode);
    // The folder may predate this version, or the umask may have narrowed it differently.
    const QByteArray encoded = QFile::encodeName(QDir::cleanPath(path));
    struct stat status {};
    if (::stat(encoded.constData(), &status) == 0 && (status.st_mode & 07777) == privateFolderMode)
        return;
    if (::chmod(encoded.constData(), privateFolderMode) != 0)
        onModeFailure(currentReason());
}

std::optional<QByteArray> readFileIfPresent(const QString& path)
{
    FileDescriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throw FileSystemError::fromErrno(Kind::readFailed, path);
    }
    QByteArray contents;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throw FileSystemError::fromErrno(Kind::readFailed, path);
        }
        if (count == 0)
            return contents;
        contents.append(buffer, count);
    }
}

void writePrivateFileAtomically(const QString& path, const QByteArray& bytes,
                                const std::function<void(const QString& reason)>& onModeFailure)
{
    const QByteArray target = QFile::encodeName(path);
    // mkostemp creates the file 0600 (the umask can only narrow it) with a name nobody else can claim.
    QByteArray temporary = target + ".XXXXXX";
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0)
        throw FileSystemError::fromErrno(Kind::writeFailed, path);

    const auto fail = [&] {
        const FileSystemError error = FileSystemError::fromErrno(Kind::writeFailed, path);
        ::unlink(temporary.constData());
        throw error;
    };

    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || (status.st_mode & 07777) != privateFileMode) {
        if (::fchmod(file.get(), privateFileMode) != 0)
            onModeFailure(currentReason());
    }
    if (!writeAll(file.get(), bytes) || ::fsync(file.get()) != 0 || !file.close())
        fail();
    if (::rename(temporary.constData(), target.constData()) != 0)
        fail();

    // Makes the rename itself survive a crash; without it the old file may come back.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    FileDescriptor directory(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        ::fsync(directory.get());
}

} // namespace vellamor::storage_files
