#include "Logging/LogReader.h"

#include "Logging/LogReaderError.h"
#include "Networking/NetworkError.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Json/JsonError.h"

#include "ErrorOf.h"
#include "QtPrinters.h"
#include "ScriptedHTTPSession.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace vellamor;
using vellamor::test::ScriptedHTTPSession;

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

const QUrl kEndpoint(QStringLiteral("http://ops.example:8080/internal/v1/api.json"));

class LogReaderRemote : public ::testing::Test {
protected:
    QCoro::Task<LogReader::RemoteTailResult> read(std::optional<QString> token = QStringLiteral("t"), int lines = 10)
    {
        return LogReader::readRemote(kEndpoint, std::move(token), lines, session);
    }

    std::shared_ptr<ScriptedHTTPSession> session = std::make_shared<ScriptedHTTPSession>();
};

TEST_F(LogReaderRemote, MissingOrEmptyTokenSendsNothing)
{
    EXPECT_EQ(test::errorOf<LogReaderError>(read(std::nullopt)), LogReaderError::missingToken());
    EXPECT_EQ(test::errorOf<LogReaderError>(read(QString())), LogReaderError::missingToken());
    EXPECT_TRUE(session->requests().isEmpty());
}

TEST_F(LogReaderRemote, RequestGoesToTheGivenEndpointWithClampedLines)
{
    const std::pair<int, int> counts[] = {{0, 1}, {-3, 1}, {1, 1}, {500, 500}, {2000, 2000}, {5000, 2000}};
    for (const auto& [asked, sent] : counts) {
        session->respond(200, R"({"code":0,"msg":"ok","data":{"exists":true}})");
        runBlocking(read(QStringLiteral(" tok "), asked));
        const QJsonObject expected{{QStringLiteral("action"), QStringLiteral("admin.tailLog")},
                                   {QStringLiteral("data"), QJsonObject{{QStringLiteral("lines"), sent}}}};
        EXPECT_EQ(QJsonDocument::fromJson(session->requests().last().body).object(), expected) << asked;
    }
    const HTTPRequest& request = session->requests().last();
    EXPECT_EQ(request.url, kEndpoint);
    EXPECT_EQ(request.method, QStringLiteral("POST"));
    EXPECT_EQ(request.timeout, std::chrono::milliseconds(60000));
    EXPECT_EQ(request.headers.value(QStringLiteral("Content-Type")), QStringLiteral("application/json"));
    EXPECT_EQ(request.headers.value(QStringLiteral("X-Admin-Token")), QStringLiteral(" tok "));
    EXPECT_FALSE(request.headers.contains(QStringLiteral("Authorization")));
}

TEST_F(LogReaderRemote, StatusAndEnvelopeRefusals)
{
    struct Case {
        std::optional<int> status; // none: not an HTTP answer
        QByteArray body;
        LogReaderError expected;
    };
    const Case cases[] = {
        {std::nullopt, "{}", LogReaderError::invalidResponse()},
        {401, R"({"code":0,"msg":"ok"})", LogReaderError::unauthorized()},
        {403, "forbidden", LogReaderError::httpStatus(403)},
        {500, "", LogReaderError::httpStatus(500)},
        {200, R"({"code":40300,"msg":"禁止","data":{"exists":false}})",
         LogReaderError::businessError(40300, QStringLiteral("禁止"))},
        {200, R"({"code":50000,"msg":"boom"})", LogReaderError::businessError(50000, QStringLiteral("boom"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        if (c.status)
            session->respond(*c.status, c.body);
        else
            session->respondNonHTTP(c.body);
        EXPECT_EQ(test::errorOf<LogReaderError>(read()), c.expected);
    }
}

TEST(LogReaderError, Texts)
{
    const std::pair<LogReaderError, QString> cases[] = {
        {LogReaderError::missingToken(), QStringLiteral("未找到 admin token（~/.vellamor/admin-token）")},
        {LogReaderError::unauthorized(), QStringLiteral("admin token 不匹配（401）")},
        {LogReaderError::httpStatus(403), QStringLiteral("HTTP 状态码 403")},
        {LogReaderError::businessError(40300, QStringLiteral("禁止")), QStringLiteral("业务错误 code=40300 msg=禁止")},
        {LogReaderError::invalidResponse(), QStringLiteral("响应格式异常")},
    };
    for (const auto& [error, text] : cases)
        EXPECT_EQ(error.errorDescription(), text);
}

TEST_F(LogReaderRemote, DecodingAndTransportErrorsPassThrough)
{
    const QByteArray undecodable[] = {
        "not json",
        R"({"msg":"ok"})",
        R"({"code":"0","msg":"ok"})",
        R"({"code":0,"msg":"ok","data":{"path":"/x"}})",
        R"({"code":0,"msg":"ok","data":{"exists":true,"total_bytes":"12"}})",
        R"({"code":0,"msg":"ok","data":{"exists":true,"lines":["a",3]}})",
        R"({"code":40300,"msg":"no","data":{"exists":"no"}})",
    };
    for (const QByteArray& body : undecodable) {
        SCOPED_TRACE(body.toStdString());
        session->respond(200, body);
        EXPECT_TRUE(test::errorOf<JsonError>(read()).has_value());
    }

    session->fail(NetworkError(NetworkError::Kind::timedOut));
    const auto error = test::errorOf<NetworkError>(read());
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), NetworkError::Kind::timedOut);
}

TEST_F(LogReaderRemote, ResultFromData)
{
    struct Case {
        QByteArray body;
        LogReader::RemoteTailResult expected;
    };
    const Case cases[] = {
        {R"({"code":0,"msg":"ok"})", {}},
        {R"({"code":0,"msg":"ok","data":null})", {}},
        {R"({"code":0,"msg":"ok","data":{"exists":false,"reason":null}})", {}},
        {R"({"code":0,"msg":"ok","data":{"exists":true,"path":"/var/log/s.log","total_bytes":9007199254740993,)"
         R"("lines":["一","","three"],"reason":"r","extra":1}})",
         {true, QStringLiteral("/var/log/s.log"), 9007199254740993LL,
          {QStringLiteral("一"), QString(), QStringLiteral("three")}, QStringLiteral("r")}},
        {R"({"code":0,"msg":"ok","data":{"exists":false,"reason":"no such file"}})",
         {false, QString(), 0, {}, QStringLiteral("no such file")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        session->respond(200, c.body);
        EXPECT_EQ(runBlocking(read()), c.expected);
    }
}

} // namespace
