#include "Support/Error.h"

namespace vellamor {

const char* Error::what() const noexcept
{
    try {
        if (whatCache_.empty())
            whatCache_ = debugDescription().toStdString();
        return whatCache_.c_str();
    } catch (...) {
        return "vellamor::Error";
    }
}

QString CancellationError::errorDescription() const
{
    return QStringLiteral("已取消");
}

QString CancellationError::debugDescription() const
{
    return QStringLiteral("CancellationError");
}

QString describeException(std::exception_ptr error)
{
    if (!error)
        return QStringLiteral("no error");
    try {
        std::rethrow_exception(error);
    } catch (const Error& e) {
        return e.debugDescription();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("unknown exception");
    }
}

QString userFacingDescription(std::exception_ptr error, const QString& unknown)
{
    try {
        std::rethrow_exception(error);
    } catch (const Error& e) {
        return e.errorDescription();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return unknown;
    }
}

} // namespace vellamor
