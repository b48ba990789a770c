#pragma once

#include <QString>

#include <exception>
#include <string>

namespace vellamor {

// Base of every error the system throws. `errorDescription()` is what a user
// may see; `debugDescription()` is the log form, naming the kind and its payload.
class Error : public std::exception {
public:
    virtual QString errorDescription() const = 0;
    virtual QString debugDescription() const = 0;

    // The debug description, for code that only knows std::exception.
    const char* what() const noexcept override;

private:
    mutable std::string whatCache_;
};

// Thrown where an operation stops because its task was cancelled.
class CancellationError final : public Error {
public:
    QString errorDescription() const override;
    QString debugDescription() const override;
};

// The log form of any exception: debugDescription() for ours, what() for others.
QString describeException(std::exception_ptr error);
// What the user is told of any exception: errorDescription() for ours,
// what() for others, `unknown` for anything that is no std::exception.
QString userFacingDescription(std::exception_ptr error, const QString& unknown = QStringLiteral("未知错误"));

} // namespace vellamor
