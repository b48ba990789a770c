#include "FrontmostApp/FrontmostAppResolver.h"

namespace vellamor {

namespace {

// The property holds an id, which may itself end in ".desktop"
// ("org.telegram.desktop"); only a file path is turned into one.
QString desktopFileId(QString value)
{
    const qsizetype slash = value.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return value;
    value = value.mid(slash + 1);
    if (value.endsWith(QStringLiteral(".desktop")))
        value.chop(8);
    return value;
}

} // namespace

std::optional<QString> FrontmostAppResolver::applicationId(const platform::WindowIdentity& window,
                                                           const std::function<QList<DesktopEntry>()>& entries)
{
    if (!window.gtkApplicationId.isEmpty())
        return window.gtkApplicationId;
    if (const QString kde = desktopFileId(window.kdeDesktopFile); !kde.isEmpty())
        return kde;

    QStringList classes;
    for (const QString& name : {window.wmClassName, window.wmClassInstance}) {
        if (!name.isEmpty() && !classes.contains(name))
            classes << name;
    }
    if (classes.isEmpty())
        return std::nullopt;

    const QList<DesktopEntry> installed = entries ? entries() : QList<DesktopEntry>();
    for (const bool helpers : {false, true}) {
        for (const QString& name : classes) {
            for (const DesktopEntry& entry : installed) {
                if (entry.noDisplay == helpers && entry.startupWMClass == name)
                    return entry.id;
            }
        }
    }
    for (const QString& name : classes) {
        for (const DesktopEntry& entry : installed) {
            if (entry.id.compare(name, Qt::CaseInsensitive) == 0)
                return entry.id;
        }
    }
    if (window.wmClassName.isEmpty())
        return window.wmClassInstance.toLower();
    return window.wmClassName.toLower();
}

} // namespace vellamor
