#pragma once

#include <QDir>
#include <QFile>
#include <QString>

namespace vellamor::test {

// How many of this process's threads carry `name`, cut as the kernel keeps
// it (15 bytes): a worker's thread ends with its owner, which may be held by
// a task still waiting on that worker.
inline int threadsNamed(const QString& name)
{
    const QString kept = QString::fromUtf8(name.toUtf8().left(15));
    int count = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly) && QString::fromUtf8(comm.readAll()).trimmed() == kept)
            ++count;
    }
    return count;
}

} // namespace vellamor::test
