#include "Logging/LogReader.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace vellamor;

namespace {

class LogReaderLocal : public ::testing::Test {
protected:
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("vellamor.log"))
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_EQ(file.write(bytes), bytes.size());
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(LogReaderLocal, LineRulesForFilesInsideTheWindow)
{
    struct Case {
        const char* name;
        QByteArray content;
        int lines;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"last two of three", "a\nb\nc\n", 2, QStringLiteral("b\nc")},
        {"no final newline reads the same", "a\nb\nc", 2, QStringLiteral("b\nc")},
        {"first line kept in a small file", "first\nsecond\n", 10, QStringLiteral("first\nsecond")},
        {"empty line in the middle kept", "a\n\nb\n", 5, QStringLiteral("a\n\nb")},
        {"only one trailing empty piece dropped", "a\n\n", 5, QStringLiteral("a\n")},
        {"zero means one", "a\nb\n", 0, QStringLiteral("b")},
        {"negative means one", "a\nb\n", -7, QStringLiteral("b")},
        {"a lone newline is one empty line", "\n", 3, QString()},
        {"carriage returns are text", "a\r\nb\r\n", 1, QStringLiteral("b\r")},
        {"Chinese text", "第一行\n第二行\n", 1, QStringLiteral("第二行")},
        {"invalid UTF-8 is empty text", "good\nbad \xff\xfe\n", 10, QString()},
        {"ending inside a character is empty text", "ends inside \xe4\xb8", 10, QString()},
        {"an empty file is read as empty text", QByteArray(), 10, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LogReader::readLocal(write(c.content), c.lines), c.expected);
    }
}

TEST_F(LogReaderLocal, AtMostTwoThousandLines)
{
    QByteArray content;
    for (int i = 1; i <= 3000; ++i)
        content += "line " + QByteArray::number(i) + '\n';
    const QString path = write(content);

    const QStringList lines = LogReader::readLocal(path, 5000)->split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2000);
    EXPECT_EQ(lines.first(), QStringLiteral("line 1001"));
    EXPECT_EQ(lines.last(), QStringLiteral("line 3000"));
    EXPECT_EQ(LogReader::readLocal(path, 1999)->count(QLatin1Char('\n')), 1998);
}

// Lines of exactly `width` bytes (newline included), the first one "HEAD…".
QByteArray fixedWidthLog(qint64 totalBytes, int width)
{
    QByteArray content;
    int index = 0;
    while (content.size() < totalBytes) {
        QByteArray line = index == 0 ? QByteArray("HEAD") : "L" + QByteArray::number(index);
        const qint64 room = std::min<qint64>(width, totalBytes - content.size());
        line = line.leftJustified(room - 1, '.', true) + '\n';
        content += line;
        ++index;
    }
    return content;
}

// The window is the file's last maxTailBytes bytes. Where it starts after the
// file's beginning, its first line may be partial and is dropped as bytes,
// before decoding.
TEST_F(LogReaderLocal, WindowCutsBytesNotCharacters)
{
    const QByteArray window = fixedWidthLog(LogReader::maxTailBytes, 512);
    ASSERT_EQ(window.size(), LogReader::maxTailBytes);
    struct Case {
        const char* name;
        QByteArray content;
        const char* firstLineStart;
        qint64 length; // of the text returned, which has no final newline
    };
    constexpr qint64 all = LogReader::maxTailBytes;
    const Case cases[] = {
        {"exactly the window", window, "HEAD.", all - 1},
        {"one byte more: the window starts inside \"XHEAD…\"", "X" + window, "L1.", all - 512 - 1},
        {"the window starts on the last byte of \"前\"", "前" + window.mid(1), "L1.", all - 512 - 1},
        {"a window without line break is kept whole", QByteArray(all + 10, 'a'), "aaaa", all},
        {"... but for the tail of a character cut at its start", "前" + QByteArray(all - 1, 'a'), "aaaa", all - 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = LogReader::readLocal(write(c.content), LogReader::maxTailLines);
        ASSERT_TRUE(result.has_value());
        EXPECT_TRUE(result->startsWith(QLatin1String(c.firstLineStart))) << result->left(20).toStdString();
        EXPECT_EQ(result->size(), c.length);
    }
}

TEST_F(LogReaderLocal, NothingToReadIsNone)
{
    EXPECT_EQ(LogReader::readLocal(std::nullopt, 10), std::nullopt);
    EXPECT_EQ(LogReader::readLocal(dir.filePath(QStringLiteral("missing.log")), 10), std::nullopt);
    EXPECT_EQ(LogReader::readLocal(dir.path(), 10), std::nullopt);
    if (::geteuid() == 0)
        return; // permissions do not stop root
    const QString unreadable = write("secret\n", QStringLiteral("unreadable.log"));
    ASSERT_TRUE(QFile::setPermissions(unreadable, QFileDevice::Permissions()));
    EXPECT_EQ(LogReader::readLocal(unreadable, 10), std::nullopt);
}

} // namespace
