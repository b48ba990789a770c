#include "TextInsertion/LayeredInserterOutput.h"

#include "Support/Async/TaskHandle.h"

namespace vellamor {

LayeredInserterOutput::LayeredInserterOutput(LayeredInserter inserter)
    : LayeredInserterOutput(std::move(inserter),
                            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("text-inserter-output")))
{
}

LayeredInserterOutput::LayeredInserterOutput(LayeredInserter inserter, VellamorLog log)
    : inserter_(std::move(inserter))
    , log_(std::move(log))
{
}

QCoro::Task<void> LayeredInserterOutput::deliver(QString text)
{
    // UTF-16 units: counting the characters of a long text costs the main
    // thread as much as a paste.
    log_.info(QStringLiteral("deliver called: length=") + QString::number(text.size()));
    Delivered delivered = onDeliveryStarted ? onDeliveryStarted(text) : Delivered();
    // Copies: the output may be destroyed while the insertion runs, which
    // goes on without a handle.
    TaskHandle::start([log = log_, inserter = inserter_, text = std::move(text),
                               delivered = std::move(delivered)](std::stop_token) -> QCoro::Task<void> {
        const InsertStrategy strategy = co_await inserter.insertLayered(text);
        log.info(QStringLiteral("deliver finished: strategy=") + rawValue(strategy));
        if (delivered)
            delivered(strategy);
    });
    co_return;
}

} // namespace vellamor
