#include "FakeKeySource.h"

#include <gtest/gtest.h>

namespace vellamor::test {

void FakeKeySource::start(const std::optional<platform::KeyGrab>& grab, Sink sink)
{
    if (started_)
        return;
    ++startCount_;
    grabs_.push_back(grab);
    if (auto kind = std::exchange(refusal_, std::nullopt))
        throw platform::KeySourceError(*kind, QStringLiteral("refused by test"));
    started_ = true;
    sink_ = std::move(sink);
}

void FakeKeySource::stop()
{
    ++stopCount_;
    started_ = false;
    sink_ = nullptr;
}

bool FakeKeySource::send(const KeyEvent& event)
{
    EXPECT_TRUE(started_) << "event sent to a stopped key source";
    if (!started_ || !sink_)
        return false;
    Sink sink = sink_;
    return sink(event);
}

} // namespace vellamor::test
