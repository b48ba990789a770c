#pragma once

#include "Platform/KeySource/KeySource.h"
#include "Platform/KeySource/KeySourceError.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

namespace vellamor::test {

// A key source that tests feed by hand. Records starts, stops and grabs; can
// be told to refuse the next start.
class FakeKeySource final : public platform::KeySource {
public:
    void start(const std::optional<platform::KeyGrab>& grab, Sink sink) override
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

    void stop() override
    {
        ++stopCount_;
        started_ = false;
        sink_ = nullptr;
    }

    bool isStarted() const override { return started_; }
    void setIgnoringSyntheticInput(bool) override {}

    // Delivers one event to the sink and returns its answer (whether the
    // event would be swallowed). Fails the test when not started.
    bool send(const platform::KeyEvent& event)
    {
        EXPECT_TRUE(started_) << "event sent to a stopped key source";
        if (!started_ || !sink_)
            return false;
        // A copy: the sink may stop the source, which drops sink_.
        const Sink sink = sink_;
        return sink(event);
    }

    void refuseNextStart(platform::KeySourceError::Kind kind) { refusal_ = kind; }

    int startCount() const { return startCount_; }
    int stopCount() const { return stopCount_; }
    const std::vector<std::optional<platform::KeyGrab>>& grabs() const { return grabs_; }

private:
    bool started_ = false;
    Sink sink_;
    std::optional<platform::KeySourceError::Kind> refusal_;
    int startCount_ = 0;
    int stopCount_ = 0;
    std::vector<std::optional<platform::KeyGrab>> grabs_;
};

} // namespace vellamor::test
