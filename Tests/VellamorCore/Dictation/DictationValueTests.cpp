#include "Audio/AudioCaptureError.h"
#include "Dictation/DictationController.h"
#include "Models/NetworkError.h"
#include "Models/VellamorServiceError.h"
#include "Models/VellamorTransportError.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace vellamor;

namespace {

using Data = QMap<QString, QString>;

std::exception_ptr service(qint64 code, const char* message, std::optional<Data> data = std::nullopt)
{
    return std::make_exception_ptr(VellamorServiceError(code, QString::fromUtf8(message), std::move(data)));
}

std::exception_ptr capture(const AudioCaptureError& error)
{
    return std::make_exception_ptr(error);
}

Data kind(const char* value)
{
    return Data{{QStringLiteral("kind"), QString::fromUtf8(value)}};
}

} // namespace

TEST(DictationControllerMessages, UserFacingTextForEachKindOfError)
{
    const struct {
        std::exception_ptr error;
        const char* expected;
    } cases[] = {
        {service(42902, "q", kind("points_balance")), "积分余额不足，请升级或购买积分包"},
        {service(42902, "q", kind("daily_quota")), "当前积分不足，请升级或购买积分包"},
        {service(42902, "q", kind("Points_Balance")), "当前积分不足，请升级或购买积分包"},
        {service(42902, "q", Data{}), "当前积分不足，请升级或购买积分包"},
        {service(42902, "q"), "当前积分不足，请升级或购买积分包"},
        {service(50021, "asr down"), "识别服务暂时繁忙，请稍后重试"},
        {service(50022, "llm down"), "润色服务暂时繁忙，请稍后重试"},
        {service(40100, "unauthorized"), "服务暂时不可用，请稍后重试"},
        {service(-1, ""), "服务暂时不可用，请稍后重试"},
        {capture(AudioCaptureError::formatUnsupported(QStringLiteral("48 kHz float"))), "当前麦克风格式暂不支持"},
        {capture(AudioCaptureError::engineFailed(QStringLiteral("busy"))), "麦克风启动失败，请检查系统权限或输入设备"},
        {capture(AudioCaptureError::permissionDenied()), "请先允许 Vellamor 使用麦克风"},
        {capture(AudioCaptureError::deviceUnavailable()), "没有找到可用的麦克风"},
        {capture(AudioCaptureError::alreadyRunning()), "录音已经在进行中"},
        {std::make_exception_ptr(VellamorTransportError::connectionClosed()), "网络连接已断开，请检查网络后重试"},
        {std::make_exception_ptr(NetworkError(NetworkError::Kind::connectionLost)), "网络连接已断开，请检查网络后重试"},
        {std::make_exception_ptr(NetworkError(NetworkError::Kind::hostNotFound)), "无法连接服务器，请检查网络后重试"},
        {std::make_exception_ptr(std::runtime_error("socket reset")), "识别出错，请重试"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(DictationController::userFacingMessage(c.error), QString::fromUtf8(c.expected));
    }
}
