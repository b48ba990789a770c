#pragma once

#include "Platform/Pasteboard/Pasteboard.h"
#include "Platform/Pasteboard/SelectionLedger.h"

#include <chrono>
#include <memory>

namespace vellamor::platform {

// The clipboards through an X connection and a thread of their own, so that
// no other program ever holds the main thread: another owner's contents are
// read there with deadlines (SelectionReader), and this process's selections
// are served there for as long as it owns them (SelectionServer). Each
// selection's loans are kept by a SelectionLedger. At quit the clipboard goes
// to a running clipboard manager (ICCCM SAVE_TARGETS).
class X11SelectionBroker final : public Pasteboard {
public:
    struct Limits {
        // One step of reading another owner: its answer, or a transfer's next
        // part. Some owners encode an image anew for each request, in seconds.
        std::chrono::milliseconds step{2500};
        // Reading all it holds.
        std::chrono::milliseconds snapshot{5000};
        // A transfer in parts whose requestor stopped taking them is dropped.
        std::chrono::milliseconds stalledTransfer{5000};
        // The hand-over to a clipboard manager at quit, within the quit's
        // own bound (QuitWatchdog); managers read the clipboard in milliseconds.
        std::chrono::milliseconds handOver{1500};
        SelectionLedgerTiming ledger;
    };

    // Connects to $DISPLAY; without a display nothing is served and every
    // loan is refused.
    X11SelectionBroker();
    explicit X11SelectionBroker(Limits limits);
    ~X11SelectionBroker() override;

    X11SelectionBroker(const X11SelectionBroker&) = delete;
    X11SelectionBroker& operator=(const X11SelectionBroker&) = delete;

    void setText(PasteboardSelection selection, const QString& text) override;
    QCoro::Task<Lending> lend(PasteboardSelection selection, QString text) override;
    void handOver() override;
    void userPasted() override;

private:
    class Broker;
    class BrokerLoan;

    std::shared_ptr<Broker> broker_;
};

} // namespace vellamor::platform
