#pragma once

#include "Platform/KeySource/KeySource.h"
#include "Platform/KeySource/KeySourceError.h"

#include <QList>

#include <optional>
#include <vector>

namespace vellamor::test {

// A key source that tests feed by hand. Records starts, stops and the
// synthetic-input flag; can be told to refuse the next start.
class FakeKeySource final : public platform::KeySource {
public:
    void start(const std::optional<platform::KeyGrab>& grab, Sink sink) override;
    void stop() override;
    bool isStarted() const override { return started_; }
    void setIgnoringSyntheticInput(bool ignoring) override { ignoringSynthetic_ = ignoring; }

    // Delivers one event to the sink and returns its answer (whether the
    // event would be swallowed). Fails the test when not started.
    bool send(const KeyEvent& event);

    void refuseNextStart(platform::KeySourceError::Kind kind) { refusal_ = kind; }

    int startCount() const { return startCount_; }
    int stopCount() const { return stopCount_; }
    const std::vector<std::optional<platform::KeyGrab>>& grabs() const { return grabs_; }
    bool isIgnoringSyntheticInput() const { return ignoringSynthetic_; }

private:
    bool started_ = false;
    Sink sink_;
    std::optional<platform::KeySourceError::Kind> refusal_;
    int startCount_ = 0;
    int stopCount_ = 0;
    std::vector<std::optional<platform::KeyGrab>> grabs_;
    bool ignoringSynthetic_ = false;
};

} // namespace vellamor::test
