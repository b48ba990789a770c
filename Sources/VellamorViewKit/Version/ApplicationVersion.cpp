#include "Version/ApplicationVersion.h"

#include "Version/BuildVersion.h"

#include <QCoreApplication>
#include <QVariant>

namespace vellamor {

namespace {

// Qt keeps one version string; the build number rides beside it on the
// application object.
constexpr char buildProperty[] = "vellamorBuildNumber";

} // namespace

QString ApplicationVersion::text() const
{
    return shortVersion + QStringLiteral(" (") + build + QLatin1Char(')');
}

ApplicationVersion ApplicationVersion::compiled()
{
    return {QStringLiteral(VELLAMOR_VERSION), QStringLiteral(VELLAMOR_BUILD_NUMBER)};
}

void ApplicationVersion::install()
{
    const ApplicationVersion version = compiled();
    QCoreApplication::setApplicationVersion(version.shortVersion);
    if (QCoreApplication* app = QCoreApplication::instance())
        app->setProperty(buildProperty, version.build);
}

ApplicationVersion ApplicationVersion::current()
{
    ApplicationVersion version{QCoreApplication::applicationVersion(), {}};
    if (const QCoreApplication* app = QCoreApplication::instance()) {
        const QVariant build = app->property(buildProperty);
        if (build.metaType().id() == QMetaType::QString)
            version.build = build.toString();
    }
    if (version.shortVersion.isEmpty())
        version.shortVersion = QStringLiteral("dev");
    if (version.build.isEmpty())
        version.build = QStringLiteral("0");
    return version;
}

} // namespace vellamor
