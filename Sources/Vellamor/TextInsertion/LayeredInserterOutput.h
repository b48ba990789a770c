#pragma once

#include "Dictation/DictationOutput.h"
#include "Logging/VellamorLog.h"
#include "TextInsertion/LayeredInserter.h"

#include <functional>

namespace vellamor {

// The application's dictation output: inserts each finished text with the
// layered inserter and logs the outcome to "com.vellamor.app"/"text-inserter-output".
class LayeredInserterOutput final : public DictationOutput {
public:
    explicit LayeredInserterOutput(LayeredInserter inserter);
    LayeredInserterOutput(LayeredInserter inserter, VellamorLog log);

    QCoro::Task<void> deliver(QString text) override;

    // Told how each finished text was delivered, before deliver() returns.
    std::function<void(InsertStrategy)> onDelivered;

    const LayeredInserter& inserter() const { return inserter_; }

private:
    LayeredInserter inserter_;
    VellamorLog log_;
};

} // namespace vellamor
