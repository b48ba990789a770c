#include "AccountWindows/AuthSheetState.h"

#include "Support/TextGraphemes.h"

namespace vellamor {

QString AuthSheetState::titleText() const
{
    if (tab == Tab::password)
        return QStringLiteral("用密码登录");
    if (step == Step::enterEmail)
        return QStringLiteral("登录 Vellamor");
    return isRegistering() ? QStringLiteral("欢迎使用 Vellamor") : QStringLiteral("欢迎回来");
}

QString AuthSheetState::subtitleText() const
{
    if (tab == Tab::password)
        return QStringLiteral("已设置密码的老用户可直接登录");
    if (step == Step::enterEmail)
        return QStringLiteral("输入邮箱获取验证码即可登录，首次使用将自动注册");
    return QStringLiteral("验证码已发送至 ") + emailToSend() + QStringLiteral("，若未收到请检查垃圾箱");
}

QString AuthSheetState::primaryButtonTitle() const
{
    if (isBusy)
        return QStringLiteral("处理中…");
    if (tab == Tab::password)
        return QStringLiteral("登录");
    if (step == Step::enterEmail)
        return QStringLiteral("发送验证码");
    return isRegistering() ? QStringLiteral("注册并登录") : QStringLiteral("登录");
}

bool AuthSheetState::primaryEnabled() const
{
    if (tab == Tab::password) {
        const qsizetype length = graphemeCount(password);
        return isValidEmail(email) && length >= minPasswordLength && length <= maxPasswordLength;
    }
    if (step == Step::enterEmail)
        return isValidEmail(email);
    return code.size() == codeLength;
}

QString AuthSheetState::resendTitle() const
{
    if (resendCountdown < 1)
        return QStringLiteral("重新发送验证码");
    return QStringLiteral("重新发送（") + QString::number(resendCountdown) + QStringLiteral("s）");
}

bool AuthSheetState::isValidEmail(const QString& email)
{
    const QString trimmed = email.trimmed();
    const qsizetype at = trimmed.indexOf(u'@');
    if (at <= 0)
        return false;
    const QString domain = trimmed.mid(at + 1);
    return domain.contains(u'.') && graphemeCount(domain) >= 4;
}

QString AuthSheetState::filterCode(const QString& typed)
{
    QString digits;
    for (qsizetype i = 0; i < typed.size() && digits.size() < codeLength; ++i) {
        // Digits outside the Basic Multilingual Plane come as surrogate pairs.
        char32_t point = typed.at(i).unicode();
        if (QChar::isHighSurrogate(point) && i + 1 < typed.size() && typed.at(i + 1).isLowSurrogate()) {
            point = QChar::surrogateToUcs4(typed.at(i), typed.at(i + 1));
            ++i;
        }
        const int value = QChar::digitValue(point);
        if (QChar::category(point) == QChar::Number_DecimalDigit && value >= 0 && value <= 9)
            digits.append(QChar(char16_t(u'0' + value)));
    }
    return digits;
}

} // namespace vellamor
