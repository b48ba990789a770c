#include "TextInsertion/LayeredInserterOutput.h"

#include "Support/TextGraphemes.h"

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
    // Copies: the output may be destroyed while the insertion runs.
    const VellamorLog log = log_;
    const LayeredInserter inserter = inserter_;
    const auto onDelivered = this->onDelivered;
    log.info(QStringLiteral("deliver called: length=") + QString::number(graphemeCount(text)));
    const InsertStrategy strategy = co_await inserter.insertLayered(text);
    log.info(QStringLiteral("deliver finished: strategy=") + rawValue(strategy));
    if (onDelivered)
        onDelivered(strategy);
}

} // namespace vellamor
