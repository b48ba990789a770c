#include "App/SnapshotFilter.h"

#include <gtest/gtest.h>

#include <vector>

namespace vellamor::test {
namespace {

using Verdict = SnapshotFilter::Verdict;

// One step of a road: a snapshot of session `session` (0: none) in `state`,
// or, with `abandon`, the running session given up before anything is shown.
struct Step {
    int session;
    DictationState state;
    Verdict expected;
    bool abandon = false;
};

const QUuid sessions[] = {QUuid(), QUuid::createUuid(), QUuid::createUuid()};

Verdict show(SnapshotFilter& filter, int session, const DictationState& state)
{
    const std::optional<QUuid> id = session ? std::optional<QUuid>(sessions[session]) : std::nullopt;
    return filter.admit(SessionSnapshot(id, state, {}, {}, {}, 0, 0, std::nullopt));
}

TEST(SnapshotFilter, DropsOnlyTheLateEndsOfAbandonedOrReplacedSessions)
{
    struct Road {
        const char* name;
        std::vector<Step> steps;
    };
    const Verdict apply = Verdict::apply;
    const std::vector<Road> roads = {
        {"one session", {{1, DictationState::recording(), apply}, {1, DictationState::done(), apply}}},
        {"retried: the old end is stale, the new one is not",
         {{1, DictationState::recording(), apply},
          {0, DictationState::idle(), apply, true},
          {1, DictationState::failed(QStringLiteral("x")), Verdict::staleAfterRetry},
          {2, DictationState::recording(), apply},
          {1, DictationState::cancelled(), Verdict::staleFromPrevious},
          {2, DictationState::done(), apply}}},
        {"retried session reports again before its end",
         {{1, DictationState::recording(), apply},
          {0, DictationState::idle(), apply, true},
          {1, DictationState::transcribing(), apply},
          {1, DictationState::done(), Verdict::staleAfterRetry}}},
        {"idle forgets everything",
         {{1, DictationState::recording(), apply},
          {0, DictationState::idle(), apply, true},
          {0, DictationState::idle(), apply},
          {1, DictationState::done(), apply}}},
        {"a snapshot without a session always applies",
         {{1, DictationState::recording(), apply}, {0, DictationState::failed(QStringLiteral("y")), apply}}},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        SnapshotFilter filter;
        for (size_t i = 0; i < road.steps.size(); ++i) {
            const Step& step = road.steps[i];
            if (step.abandon) {
                filter.abandonActive();
                continue;
            }
            EXPECT_EQ(show(filter, step.session, step.state), step.expected) << "step " << i;
        }
    }
}

TEST(SnapshotFilter, TheActiveSessionIsTheLastOneThatRan)
{
    SnapshotFilter filter;
    EXPECT_EQ(filter.activeSession(), std::nullopt);
    show(filter, 1, DictationState::recording());
    show(filter, 1, DictationState::done());
    EXPECT_EQ(filter.activeSession(), sessions[1]);
    show(filter, 0, DictationState::idle());
    EXPECT_EQ(filter.activeSession(), std::nullopt);
}

} // namespace
} // namespace vellamor::test
