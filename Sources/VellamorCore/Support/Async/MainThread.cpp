#include "Support/Async/MainThread.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

namespace vellamor {

void postToMainThread(std::function<void()> fn)
{
    postTo(QCoreApplication::instance(), std::move(fn));
}

void postTo(QObject* context, std::function<void()> fn)
{
    if (!context)
        return;
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

QObject* currentThreadContext()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && app->thread() == QThread::currentThread())
        return app;
    return QAbstractEventDispatcher::instance(QThread::currentThread());
}

} // namespace vellamor
