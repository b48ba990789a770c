#pragma once

#include "Logging/VellamorLog.h"
#include "Platform/Pasteboard/Pasteboard.h"
#include "TextInsertion/AccessibilityProbing.h"
#include "TextInsertion/AnyInserter.h"
#include "TextInsertion/InsertStrategy.h"
#include "TextInsertion/InsertionQueue.h"
#include "TextInsertion/InsertionSleep.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace vellamor {

// Puts a finished text at the cursor of the application in front, trying the
// accessibility layer, then keystrokes, then a clipboard paste, and reports
// which one did it. Never fails: when there is no target or every layer
// failed, the text is left on the clipboard for the user to paste.
//
// A value: copies share the layers and may be used at once; their insertions
// then run one after another.
class LayeredInserter {
public:
    LayeredInserter(std::shared_ptr<AnyInserter> ax, std::shared_ptr<AnyInserter> keyboard,
        std::shared_ptr<AnyInserter> clipboard, std::shared_ptr<AccessibilityProbing> probe,
        std::shared_ptr<platform::Pasteboard> pasteboard,
        std::shared_ptr<InsertionQueue> queue = InsertionQueue::shared(),
        VellamorLog log = VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("insertion")),
        InsertionSleep sleep = eventLoopSleep(), InsertionClock clock = std::chrono::steady_clock::now);

    // Keystrokes deliver about this many characters in a second; a longer
    // text is pasted instead (typing 50 kB would take minutes).
    static constexpr qsizetype keystrokeLimit = 400;
    // A longer text goes straight to the paste (see accessibleTextLimit).
    static constexpr qsizetype accessibilityLimit = accessibleTextLimit;

    // Empty text: `ax` at once, nothing touched. No target (see
    // FocusTarget): the text goes to the clipboard, `noTarget`. A focused
    // element that says it is read-only: no layer runs, the text goes to the
    // clipboard, `allFailed`. Another focused element: accessibility
    // (skipped for a text over `accessibilityLimit`); after its failure
    // keystrokes (skipped when the focus is in this application, or for a
    // text over `keystrokeLimit`); after theirs a paste. An accessibility
    // write that got no answer or that was accepted and has not shown by the
    // layer's read-back's end gets no other layer (the target may still take
    // it): the text is left on the clipboard, `allFailed`. A focused
    // window with nothing on the bus: keystrokes, then a paste. A layer that
    // may have changed the field (accessibility changed it otherwise than
    // asked, keystrokes typed part of the text) is followed by none: the text
    // goes to the clipboard, `allFailed`, so that it never appears twice. So
    // do keystrokes and a paste that left a field the bus can read unchanged
    // (a field that ignores them; keys are given longer to show, as a busy
    // page reads them late), read once more before that is reported;
    // where the field cannot be read (a window without an element, an
    // unreadable or over-long field) the layer is taken at its word. Every
    // limit is a deadline on the clock, which counts the bus's calls. Each
    // failed layer is logged.
    QCoro::Task<InsertStrategy> insertLayered(QString text) const;

    const std::shared_ptr<AnyInserter>& ax() const { return ax_; }
    const std::shared_ptr<AnyInserter>& keyboard() const { return keyboard_; }
    const std::shared_ptr<AnyInserter>& clipboard() const { return clipboard_; }
    const std::shared_ptr<AccessibilityProbing>& probe() const { return probe_; }

private:
    // A browser on a loaded machine showed a paste more than 250 ms after it
    // fetched it. Only a field that stays unchanged waits the whole time, and
    // it is then left on the clipboard anyway.
    static constexpr std::chrono::milliseconds readbackLimit { 2000 };

    static QCoro::Task<InsertStrategy> run(LayeredInserter self, QString text);
    // The focused field's text when the target is an element whose text the
    // bus can read, before and after `text` goes in: a longer field is not
    // read, since a busy target then holds the main thread for seconds.
    static QCoro::Task<std::optional<QString>> readableField(
        LayeredInserter self, FocusTarget target, QString text);
    // Whether a layer that reported success changed the field it found as
    // `before` within `limit`; a field that could not be read is taken at
    // the layer's word.
    static QCoro::Task<bool> tookEffect(LayeredInserter self, std::optional<QString> before, QString layer,
        std::chrono::milliseconds limit = readbackLimit);
    // Whether the focused field changed from `before` within `limit`, or at
    // one more read after it.
    static QCoro::Task<bool> fieldChanged(LayeredInserter self, QString before, std::chrono::milliseconds limit);
    void leaveOnClipboard(const QString& text) const;

    std::shared_ptr<AnyInserter> ax_;
    std::shared_ptr<AnyInserter> keyboard_;
    std::shared_ptr<AnyInserter> clipboard_;
    std::shared_ptr<AccessibilityProbing> probe_;
    std::shared_ptr<platform::Pasteboard> pasteboard_;
    std::shared_ptr<InsertionQueue> queue_;
    VellamorLog log_;
    InsertionSleep sleep_;
    InsertionClock clock_;
};

} // namespace vellamor
