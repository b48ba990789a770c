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

struct TailCase {
    const char* name;
    QByteArray content;
    int lines;
    QString expected;
};

TEST_F(LogReaderLocal, LineRulesForFilesInsideTheWindow)
{
    const TailCase cases[] = {
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
    };
    for (const auto& c : cases) {
        const auto result = LogReader::readLocal(write(c.content), c.lines);
        ASSERT_TRUE(result.has_value()) << c.name;
        EXPECT_EQ(*result, c.expected) << c.name;
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

    EXPECT_EQ(LogReader::readLocal(path, 2000)->count(QLatin1Char('\n')), 1999);
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

TEST_F(LogReaderLocal, WindowOfExactlyMaxBytesStartsAtTheBeginning)
{
    const QByteArray content = fixedWidthLog(LogReader::maxTailBytes, 512);
    ASSERT_EQ(content.size(), LogReader::maxTailBytes);
    const auto result = LogReader::readLocal(write(content), LogReader::maxTailLines);
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->startsWith(QStringLiteral("HEAD."))) << result->left(20).toStdString();
    EXPECT_EQ(result->count(QLatin1Char('\n')) + 1, 1024);
}

TEST_F(LogReaderLocal, OneByteMoreLosesThePartialFirstLine)
{
    const QByteArray content = "X" + fixedWidthLog(LogReader::maxTailBytes, 512);
    const auto result = LogReader::readLocal(write(content), LogReader::maxTailLines);
    ASSERT_TRUE(result.has_value());
    // The window begins one byte into "XHEAD…", so that whole line goes.
    EXPECT_TRUE(result->startsWith(QStringLiteral("L1."))) << result->left(20).toStdString();
    EXPECT_EQ(result->count(QLatin1Char('\n')) + 1, 1023);
}

TEST_F(LogReaderLocal, WindowStartingInsideAChineseCharacterStillReads)
{
    // Lines of "第NNNNN行：" and Chinese filler: nearly every byte belongs to a
    // three-byte character.
    QByteArray content;
    int lineCount = 0;
    while (content.size() < LogReader::maxTailBytes + 5000) {
        QString line = QStringLiteral("第%1行：").arg(lineCount, 5, 10, QLatin1Char('0'));
        while (line.size() < 100)
            line += QStringLiteral("识别文本");
        content += line.toUtf8() + '\n';
        ++lineCount;
    }
    // Shift the content until the window's first byte is a continuation byte.
    QByteArray shifted;
    qint64 start = 0;
    for (int shift = 0; shift < 3; ++shift) {
        shifted = QByteArray(shift, 'x') + content;
        start = shifted.size() - LogReader::maxTailBytes;
        if ((static_cast<unsigned char>(shifted.at(start)) & 0xC0) == 0x80)
            break;
    }
    ASSERT_EQ(static_cast<unsigned char>(shifted.at(start)) & 0xC0, 0x80);
    const QString path = write(shifted);

    const auto tail = LogReader::readLocal(path, 3);
    ASSERT_TRUE(tail.has_value());
    const QStringList lines = tail->split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(lines[i].startsWith(QStringLiteral("第%1行").arg(lineCount - 3 + i, 5, 10, QLatin1Char('0'))));
        EXPECT_TRUE(lines[i].endsWith(QStringLiteral("识别文本")));
    }

    // With every line of the window asked for, the first one returned is the
    // first whole line after the window's start.
    const qint64 firstWhole = shifted.indexOf('\n', start) + 1;
    const QString expectedFirst =
        QString::fromUtf8(shifted.mid(firstWhole, shifted.indexOf('\n', firstWhole) - firstWhole));
    const auto all = LogReader::readLocal(path, LogReader::maxTailLines);
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(all->section(QLatin1Char('\n'), 0, 0), expectedFirst);
    EXPECT_EQ(all->count(QLatin1Char('\n')) + 1, shifted.mid(firstWhole).count('\n'));
}

TEST_F(LogReaderLocal, WindowWithoutNewlineIsKeptWhole)
{
    const QByteArray content(LogReader::maxTailBytes + 10, 'a');
    const auto result = LogReader::readLocal(write(content), 5);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->size(), LogReader::maxTailBytes);
}

TEST_F(LogReaderLocal, InvalidUtf8IsEmptyTextNotNone)
{
    const auto result = LogReader::readLocal(write("good\nbad \xff\xfe\n"), 10);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, QString());

    const auto truncated = LogReader::readLocal(write("ends inside \xe4\xb8"), 10);
    ASSERT_TRUE(truncated.has_value());
    EXPECT_EQ(*truncated, QString());
}

TEST_F(LogReaderLocal, NothingToReadIsNone)
{
    EXPECT_EQ(LogReader::readLocal(std::nullopt, 10), std::nullopt);
    EXPECT_EQ(LogReader::readLocal(dir.filePath(QStringLiteral("missing.log")), 10), std::nullopt);
    EXPECT_EQ(LogReader::readLocal(write(QByteArray()), 10), std::nullopt);
    EXPECT_EQ(LogReader::readLocal(dir.path(), 10), std::nullopt);
}

TEST_F(LogReaderLocal, UnreadableFileIsNone)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    const QString path = write("secret\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    EXPECT_EQ(LogReader::readLocal(path, 10), std::nullopt);
}

// --- readRemote with a scripted session -------------------------------------

const QUrl kEndpoint(QStringLiteral("http://ops.example:8080/internal/v1/api.json"));

template<typename E>
std::optional<E> remoteError(std::shared_ptr<ScriptedHTTPSession> session, std::optional<QString> token, int lines = 10)
{
    return test::errorOf<E>(LogReader::readRemote(kEndpoint, std::move(token), lines, session));
}

TEST(LogReaderRemote, MissingOrEmptyTokenSendsNothing)
{
    auto session = std::make_shared<ScriptedHTTPSession>();
    for (const std::optional<QString>& token : {std::optional<QString>(), std::optional<QString>(QString())}) {
        const auto error = remoteError<LogReaderError>(session, token);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(*error, LogReaderError::missingToken());
        EXPECT_EQ(error->errorDescription(), QStringLiteral("未找到 admin token（~/.vellamor/admin-token）"));
    }
    EXPECT_TRUE(session->requests().isEmpty());
}

TEST(LogReaderRemote, RequestGoesToTheGivenEndpointWithClampedLines)
{
    const std::pair<int, int> counts[] = {{0, 1}, {-3, 1}, {1, 1}, {500, 500}, {2000, 2000}, {5000, 2000}};
    for (const auto& [asked, sent] : counts) {
        auto session = std::make_shared<ScriptedHTTPSession>();
        session->respond(200, R"({"code":0,"msg":"ok","data":{"exists":true}})");
        runBlocking(LogReader::readRemote(kEndpoint, QStringLiteral(" tok "), asked, session));
        ASSERT_EQ(session->requests().size(), 1);
        const HTTPRequest& request = session->requests().first();
        EXPECT_EQ(request.url, kEndpoint);
        EXPECT_EQ(request.method, QStringLiteral("POST"));
        EXPECT_EQ(request.timeout, std::chrono::milliseconds(60000));
        EXPECT_EQ(request.headers.value(QStringLiteral("Content-Type")), QStringLiteral("application/json"));
        EXPECT_EQ(request.headers.value(QStringLiteral("X-Admin-Token")), QStringLiteral(" tok "));
        EXPECT_FALSE(request.headers.contains(QStringLiteral("Authorization")));
        const QJsonObject expected{{QStringLiteral("action"), QStringLiteral("admin.tailLog")},
                                   {QStringLiteral("data"), QJsonObject{{QStringLiteral("lines"), sent}}}};
        EXPECT_EQ(QJsonDocument::fromJson(request.body).object(), expected) << asked;
    }
}

TEST(LogReaderRemote, StatusAndEnvelopeRefusals)
{
    struct Case {
        const char* name;
        std::optional<int> status;
        QByteArray body;
        LogReaderError expected;
        QString description;
    };
    const Case cases[] = {
        {"not HTTP", std::nullopt, "{}", LogReaderError::invalidResponse(), QStringLiteral("响应格式异常")},
        {"401", 401, R"({"code":0,"msg":"ok"})", LogReaderError::unauthorized(),
         QStringLiteral("admin token 不匹配（401）")},
        {"403", 403, "forbidden", LogReaderError::httpStatus(403), QStringLiteral("HTTP 状态码 403")},
        {"500", 500, "", LogReaderError::httpStatus(500), QStringLiteral("HTTP 状态码 500")},
        {"business", 200, R"({"code":40300,"msg":"禁止","data":{"exists":false}})",
         LogReaderError::businessError(40300, QStringLiteral("禁止")),
         QStringLiteral("业务错误 code=40300 msg=禁止")},
        {"business without data", 200, R"({"code":50000,"msg":"boom"})",
         LogReaderError::businessError(50000, QStringLiteral("boom")), QStringLiteral("业务错误 code=50000 msg=boom")},
    };
    for (const auto& c : cases) {
        auto session = std::make_shared<ScriptedHTTPSession>();
        if (c.status)
            session->respond(*c.status, c.body);
        else
            session->respondNonHTTP(c.body);
        const auto error = remoteError<LogReaderError>(session, QStringLiteral("t"));
        ASSERT_TRUE(error.has_value()) << c.name;
        EXPECT_EQ(*error, c.expected) << c.name;
        EXPECT_EQ(error->errorDescription(), c.description) << c.name;
    }
}

TEST(LogReaderRemote, DecodingAndTransportErrorsPassThrough)
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
        auto session = std::make_shared<ScriptedHTTPSession>();
        session->respond(200, body);
        EXPECT_TRUE(remoteError<JsonError>(session, QStringLiteral("t")).has_value()) << body.toStdString();
    }

    auto session = std::make_shared<ScriptedHTTPSession>();
    session->fail(NetworkError(NetworkError::Kind::timedOut));
    const auto error = remoteError<NetworkError>(session, QStringLiteral("t"));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), NetworkError::Kind::timedOut);
}

TEST(LogReaderRemote, ResultFromData)
{
    struct Case {
        const char* name;
        QByteArray body;
        LogReader::RemoteTailResult expected;
    };
    const Case cases[] = {
        {"no data", R"({"code":0,"msg":"ok"})", {}},
        {"null data", R"({"code":0,"msg":"ok","data":null})", {}},
        {"only exists", R"({"code":0,"msg":"ok","data":{"exists":false,"reason":null}})", {}},
        {"everything",
         R"({"code":0,"msg":"ok","data":{"exists":true,"path":"/var/log/s.log","total_bytes":9007199254740993,)"
         R"("lines":["一","","three"],"reason":"r","extra":1}})",
         {true, QStringLiteral("/var/log/s.log"), 9007199254740993LL,
          {QStringLiteral("一"), QString(), QStringLiteral("three")}, QStringLiteral("r")}},
        {"missing file", R"({"code":0,"msg":"ok","data":{"exists":false,"reason":"no such file"}})",
         {false, QString(), 0, {}, QStringLiteral("no such file")}},
    };
    for (const auto& c : cases) {
        auto session = std::make_shared<ScriptedHTTPSession>();
        session->respond(200, c.body);
        const auto result = runBlocking(LogReader::readRemote(kEndpoint, QStringLiteral("t"), 10, session));
        EXPECT_EQ(result, c.expected) << c.name;
    }
    const LogReader::RemoteTailResult joinedCase{true, {}, 0, {QStringLiteral("a"), QString(), QStringLiteral("b")}, {}};
    EXPECT_EQ(joinedCase.joined(), QStringLiteral("a\n\nb"));
}

} // namespace
