// GLib's headers come before Qt's (Qt's keyword macros would rewrite GLib names).
#include <atspi/atspi.h>

#include "Platform/Accessibility/AtspiWorker.h"

#include <future>

#include <pthread.h>

namespace vellamor::platform {

struct AtspiWorker::Loop {
    GMainContext* context = g_main_context_new();
    GMainLoop* loop = g_main_loop_new(context, FALSE);

    ~Loop()
    {
        g_main_loop_unref(loop);
        g_main_context_unref(context);
    }
};

namespace {

gboolean runJob(gpointer data)
{
    (*static_cast<std::function<void()>*>(data))();
    return G_SOURCE_REMOVE;
}

void dropJob(gpointer data)
{
    delete static_cast<std::function<void()>*>(data);
}

} // namespace

std::shared_ptr<AtspiWorker> AtspiWorker::shared()
{
    // Never destroyed: libatspi keeps its connection for the process's life,
    // and a thread joined at exit would take with it what libdbus still
    // holds on its stack.
    static const auto* worker = new std::shared_ptr<AtspiWorker>(std::make_shared<AtspiWorker>());
    return *worker;
}

AtspiWorker::AtspiWorker()
    : loop_(std::make_unique<Loop>())
{
    // libatspi connects on this thread and serves its connection from the
    // default context, which this thread's event loop runs: the worker takes
    // it over while this thread waits, before that loop can dispatch anything.
    const int status = atspi_init();
    connected_ = status == 0 || status == 1;
    std::promise<void> started;
    auto takenOver = started.get_future();
    thread_ = std::thread([this, &started] {
        g_main_context_push_thread_default(loop_->context);
        if (connected_)
            atspi_set_main_context(loop_->context);
        started.set_value();
        g_main_loop_run(loop_->loop);
        g_main_context_pop_thread_default(loop_->context);
    });
    pthread_setname_np(thread_.native_handle(), "vellamor-atspi");
    takenOver.wait();
}

AtspiWorker::~AtspiWorker()
{
    post([loop = loop_->loop] { g_main_loop_quit(loop); });
    // The last owner may be a job's leftovers on the worker itself.
    if (std::this_thread::get_id() == thread_.get_id()) {
        thread_.detach();
        (void)loop_.release();
        return;
    }
    thread_.join();
}

void AtspiWorker::post(std::function<void()> job)
{
    g_main_context_invoke_full(loop_->context, G_PRIORITY_DEFAULT, &runJob,
                               new std::function<void()>(std::move(job)), &dropJob);
}

} // namespace vellamor::platform
