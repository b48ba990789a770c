#include "Overlay/QtScreenLayout.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace vellamor {

namespace {

std::optional<ScreenLayout::Screen> describe(const QScreen* screen)
{
    if (!screen)
        return std::nullopt;
    return ScreenLayout::Screen{screen->geometry(), screen->availableGeometry()};
}

} // namespace

QtScreenLayout::QtScreenLayout(QObject* parent) : ScreenLayout(parent)
{
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        Q_EMIT changed();
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, &ScreenLayout::changed);
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, &ScreenLayout::changed);
}

void QtScreenLayout::watch(QScreen* screen)
{
    connect(screen, &QScreen::geometryChanged, this, &ScreenLayout::changed);
    connect(screen, &QScreen::availableGeometryChanged, this, &ScreenLayout::changed);
}

QList<ScreenLayout::Screen> QtScreenLayout::screens() const
{
    QList<Screen> result;
    for (const QScreen* screen : QGuiApplication::screens())
        result.append(*describe(screen));
    return result;
}

QPoint QtScreenLayout::pointer() const
{
    return QCursor::pos();
}

std::optional<ScreenLayout::Screen> QtScreenLayout::focusWindowScreen() const
{
    const QWindow* window = QGuiApplication::focusWindow();
    return window ? describe(window->screen()) : std::nullopt;
}

std::optional<ScreenLayout::Screen> QtScreenLayout::primaryScreen() const
{
    return describe(QGuiApplication::primaryScreen());
}

} // namespace vellamor
