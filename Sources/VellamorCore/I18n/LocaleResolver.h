#pragma once

#include "I18n/Locale.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>

namespace vellamor {

// The interface language chosen in the preferences ("auto", "zh" or "en")
// and the locale it stands for: "zh" is "zh-Hans", "en" is "en", and every
// other code, "auto" included, is the system locale. Safe to use from any
// thread.
class LocaleResolver {
public:
    using SystemLocaleSource = std::function<Locale()>;

    LocaleResolver();
    // For tests: `systemLocale` stands in for the environment's locale.
    explicit LocaleResolver(SystemLocaleSource systemLocale);

    // The process-wide resolver, created on first use.
    static LocaleResolver& shared();

    // Any string is accepted; the code starts as "auto".
    void setLanguage(const QString& code);
    QString languageCode() const;
    Locale currentLocale() const;

    static Locale locale(const QString& code);
    Locale localeFor(const QString& code) const;

    // The folder holding the core's resources, "Vellamor_VellamorCore.bundle",
    // looked for beside the executable (as in the build tree) and then in
    // "<exe dir>/../share/vellamor/" (as installed); the first that exists,
    // else the one beside the executable.
    static QString resourceBundle();
    static QStringList resourceBundleCandidates(const QString& executableDirectory);
    static const QString resourceBundleName;

private:
    SystemLocaleSource systemLocale_;
    mutable std::mutex mutex_;
    QString languageCode_ = QStringLiteral("auto");
};

} // namespace vellamor
