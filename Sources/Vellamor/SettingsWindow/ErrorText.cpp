#include "SettingsWindow/ErrorText.h"

#include "Support/Error.h"

namespace vellamor {

QString errorText(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Error& failure) {
        return failure.errorDescription();
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    } catch (...) {
        return QStringLiteral("未知错误");
    }
}

const std::optional<QString>& noText()
{
    static const std::optional<QString> none;
    return none;
}

} // namespace vellamor
