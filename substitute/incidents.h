// Scripted troubles of the client, for the tests of a client that stops
// answering or closes under the library: at a chosen moment its UI thread
// stops answering for a while (as a real client's thread does during a slow
// network call or a reconnect), its main window is destroyed, or it does
// something of the test's. After a
// stall the client records the backlog: the messages other threads had sent
// or posted to it meanwhile, which it then handles.
#pragma once
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "handles.h"

namespace substitute {

class UiThread;

enum class Moment {
    Now,              // as soon as the UI thread gets to it
    OrderClicked,     // an order button's click reached its page, before the order's first pop-up
    QueryClicked,     // a page has taken its query click, before it answers
    TreeClicked,      // a tree click reaches the tree's parent, inside the sent notification
    PromptRead,       // another thread reads the title or message of a prompt
    CellRead,         // another thread reads a cell of a page's list
    OrderConfirmed,   // the trade confirmation was accepted
    CancelConfirmed,  // the cancel confirmation was accepted
};

struct Incident {
    Moment at = Moment::Now;
    std::string match;  // PromptRead: a part of the prompt's message
    int row = -1;       // CellRead: the row read (-1: any)
    DWORD stallMs = 0;  // how long the UI thread stops answering; 0 destroys the main window instead
};

// What other threads got through to the client while it was stalled, in the
// order it handled them once it answered again.
struct Backlog {
    std::vector<UINT> sent;    // messages sent from other threads
    std::vector<UINT> posted;  // clicks, notifications and mouse buttons posted to it
};

// One planned incident at a time; it happens once. Thread-safe.
class Incidents {
public:
    explicit Incidents(UiThread& ui) : ui_(ui) {}

    // `action`, when given, is done on the UI thread at the moment in place
    // of the stall (something else the client does then, such as putting a
    // procedure in front of a list).
    void plan(Incident incident, std::function<void()> action = {});
    // Whether an incident waits for its moment. Cheap: the client asks it on
    // every message it could concern, before anything costlier.
    [[nodiscard]] bool planned() const noexcept { return plannedFlag_.load(); }

    // Called on the UI thread at each moment; runs the planned incident when
    // it is due. True when it ran.
    bool reach(Moment moment, HWND mainWindow, const std::string& text = {}, int row = -1);

    // Waits until a stall has begun; false when none began within `waitMs`.
    [[nodiscard]] bool waitForStall(DWORD waitMs) const;
    // Waits until the stall has ended and its backlog is handled; the backlog,
    // or none when that did not happen within `waitMs`.
    [[nodiscard]] std::optional<Backlog> waitForBacklog(DWORD waitMs) const;

    // Internal, on the UI thread while the backlog drains.
    void recordSent(UINT message);
    void recordPosted(UINT message);

private:
    [[nodiscard]] bool due(Moment moment, const std::string& text, int row);
    void stall(DWORD stallMs);
    void drainBacklog();

    UiThread& ui_;
    // The hooks that record the backlog, on the UI thread while it drains.
    zelvo_common::UniqueHook sentHook_;
    zelvo_common::UniqueHook postedHook_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::optional<Incident> planned_;
    std::function<void()> plannedAction_;
    std::atomic<bool> plannedFlag_{false};
    bool stalling_ = false;
    bool drained_ = false;
    Backlog backlog_;
};

}  // namespace substitute
