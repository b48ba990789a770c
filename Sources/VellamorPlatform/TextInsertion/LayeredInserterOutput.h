#pragma once

#include "Dictation/DictationOutput.h"
#include "Logging/VellamorLog.h"
#include "TextInsertion/LayeredInserter.h"

#include <functional>

namespace vellamor {

// The application's output of finished texts, a dictation's or a paired
// phone's: inserts each with the layered inserter and logs the outcome to
// "com.vellamor.app"/"text-inserter-output".
//
// A delivery returns once its insertion has started, not when it ends: the
// session closes and keeps its text in the history at once, and the next
// dictation may begin while the text is still typed or pasted. Insertions
// run one after another, in the order their texts came.
class LayeredInserterOutput final : public DictationOutput {
public:
    // Told how one text was delivered.
    using Delivered = std::function<void(InsertStrategy)>;

    explicit LayeredInserterOutput(LayeredInserter inserter);
    LayeredInserterOutput(LayeredInserter inserter, VellamorLog log);

    QCoro::Task<void> deliver(QString text) override;

    // Asked with the text as each delivery starts; what it answers is told the outcome.
    std::function<Delivered(const QString& text)> onDeliveryStarted;

    const LayeredInserter& inserter() const { return inserter_; }

private:
    LayeredInserter inserter_;
    VellamorLog log_;
};

} // namespace vellamor
