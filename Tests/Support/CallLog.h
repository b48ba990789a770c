#pragma once

#include <QString>
#include <QStringList>

namespace vellamor::test {

// One ordered list of calls shared by several test doubles, so a test can
// check the order of calls across them ("asr.cancel" before "audio.stop").
class CallLog {
public:
    void record(const QString& call) { calls_.append(call); }
    const QStringList& calls() const { return calls_; }
    // Position of the first `call`, or -1.
    qsizetype indexOf(const QString& call) const { return calls_.indexOf(call); }
    void clear() { calls_.clear(); }

private:
    QStringList calls_;
};

} // namespace vellamor::test
