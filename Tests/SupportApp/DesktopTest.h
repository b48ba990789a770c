#pragma once

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace vellamor::test {

// Base of the suites that need the headless desktop of scripts/desktop-session.
// Fails (rather than skips) outside it, so a misconfigured run cannot pass
// silently. Releases the keys a test may have left down.
class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Runs a command of the desktop's tools (xdotool, ...) to its end while the
// event loop runs; adds a test failure and returns false when it fails or
// takes longer than 10 s.
bool runTool(const QString& program, const QStringList& arguments);

// xdotool with the given arguments.
bool xdotool(const QStringList& arguments);

} // namespace vellamor::test
