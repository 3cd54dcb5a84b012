#include "call_profile.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <tuple>
#include <type_traits>
#include <vector>

#include "clock.h"

namespace bench {

namespace {

// CPU time (kernel and user) of the calling thread; Wine counts it in the
// host kernel's clock ticks, so it is meaningful summed over many runs.
double threadCpuMs()
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) {
        return -1;
    }
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e4;
}

struct Stat {
    unsigned long long calls = 0;
    double ms = 0;
};

// Per function, and per message number for the message functions.
std::map<std::string, Stat> callStats;
DWORD profiledThread = 0;
int lastRuns = 1;
double lastWallMs = 0;

const char* messageName(UINT message)
{
    static const std::map<UINT, const char*> names = {
        {WM_CLOSE, "WM_CLOSE"}, {WM_NOTIFY, "WM_NOTIFY"}, {WM_COMMAND, "WM_COMMAND"},
        {BM_SETCHECK, "BM_SETCHECK"}, {BM_CLICK, "BM_CLICK"}, {CB_GETCOUNT, "CB_GETCOUNT"},
        {CB_GETCURSEL, "CB_GETCURSEL"}, {CB_GETLBTEXT, "CB_GETLBTEXT"}, {CB_GETLBTEXTLEN, "CB_GETLBTEXTLEN"},
        {LVM_GETITEMCOUNT, "LVM_GETITEMCOUNT"}, {LVM_GETITEMTEXTA, "LVM_GETITEMTEXTA"},
        {LVM_SETITEMTEXTA, "LVM_SETITEMTEXTA"}, {LVM_GETCOLUMNA, "LVM_GETCOLUMNA"},
        {LVM_GETHEADER, "LVM_GETHEADER"}, {LVM_SETITEMSTATE, "LVM_SETITEMSTATE"},
        {LVM_ENSUREVISIBLE, "LVM_ENSUREVISIBLE"}, {LVM_GETNEXTITEM, "LVM_GETNEXTITEM"},
        {HDM_GETITEMCOUNT, "HDM_GETITEMCOUNT"}, {TVM_GETNEXTITEM, "TVM_GETNEXTITEM"},
        {TVM_GETITEMA, "TVM_GETITEMA"}, {TVM_SELECTITEM, "TVM_SELECTITEM"}, {TVM_GETITEMRECT, "TVM_GETITEMRECT"},
        {TVM_EXPAND, "TVM_EXPAND"}, {WM_GETOBJECT, "WM_GETOBJECT"},
    };
    const auto found = names.find(message);
    return found == names.end() ? nullptr : found->second;
}

std::string callKey(const char* function, UINT message, bool withMessage)
{
    if (!withMessage) {
        return function;
    }
    const char* name = messageName(message);
    char key[96];
    if (name != nullptr) {
        std::snprintf(key, sizeof key, "%s %s", function, name);
    } else {
        std::snprintf(key, sizeof key, "%s 0x%04X", function, message);
    }
    return key;
}

// Times one call. Calls made inside it (the library's callbacks of an
// enumeration) are timed in their own rows and left out of its own, so the
// rows add up to the time spent in calls.
class CallTimer {
public:
    CallTimer(const char* function, UINT message, bool withMessage)
        : counted_(GetCurrentThreadId() == profiledThread), function_(function), message_(message),
          withMessage_(withMessage), enclosing_(innermost), start_(counted_ ? nowMs() : 0)
    {
        if (counted_) {
            innermost = this;
        }
    }
    ~CallTimer()
    {
        if (!counted_) {
            return;
        }
        const double elapsed = nowMs() - start_;
        Stat& stat = callStats[callKey(function_, message_, withMessage_)];
        ++stat.calls;
        stat.ms += elapsed - nestedMs_;
        innermost = enclosing_;
        if (enclosing_ != nullptr) {
            enclosing_->nestedMs_ += elapsed;
        }
    }
    CallTimer(const CallTimer&) = delete;
    CallTimer& operator=(const CallTimer&) = delete;

private:
    static inline CallTimer* innermost = nullptr;  // only the profiled thread counts
    bool counted_;
    const char* function_;
    UINT message_;
    bool withMessage_;
    CallTimer* enclosing_;
    double start_;
    double nestedMs_ = 0;
};

// The message functions take the window first and the message second.
template <typename... A>
UINT messageArgument(A... args)
{
    if constexpr (sizeof...(A) >= 2) {
        const std::tuple<A...> tuple(args...);
        using Second = std::tuple_element_t<1, std::tuple<A...>>;
        if constexpr (std::is_same_v<Second, UINT>) {
            return std::get<1>(tuple);
        }
    }
    return 0;
}

template <typename Tag, typename F>
struct Hook;

template <typename Tag, typename R, typename... A>
struct Hook<Tag, R(WINAPI*)(A...)> {
    static inline R(WINAPI* original)(A...) = nullptr;
    static R WINAPI call(A... args)
    {
        const CallTimer timer(Tag::name, messageArgument(args...), Tag::withMessage);
        return original(args...);
    }
};

#define PROFILE_CALL(function, messages)                                               \
    struct Tag_##function {                                                              \
        static constexpr const char* name = #function;                                   \
        static constexpr bool withMessage = messages;                                    \
    };                                                                                   \
    using Hook_##function = Hook<Tag_##function, decltype(&::function)>;

#define PROFILED_CALLS(X)                                                                                       \
    X(Sleep, false) X(SendMessageA, true) X(SendMessageTimeoutA, true) X(PostMessageA, true)                   \
    X(GetWindowTextA, false) X(GetWindowTextLengthA, false) X(SetWindowTextA, false) X(GetWindow, false)       \
    X(GetTopWindow, false) X(GetDlgItem, false) X(FindWindowExA, false) X(IsWindow, false)                     \
    X(IsWindowVisible, false) X(IsWindowEnabled, false) X(GetClassNameA, false) X(GetParent, false)            \
    X(GetDlgCtrlID, false) X(GetWindowThreadProcessId, false) X(PeekMessageA, false)                           \
    X(DispatchMessageA, false) X(GetWindowRect, false) X(GetClientRect, false) X(ClientToScreen, false)        \
    X(MoveWindow, false) X(ShowWindow, false) X(SetCursorPos, false) X(GetCursorPos, false)                    \
    X(GetDesktopWindow, false) X(EnumThreadWindows, false) X(EnumChildWindows, false) X(GetAncestor, false)    \
    X(AccessibleObjectFromWindow, false) X(CoInitializeEx, false) X(timeBeginPeriod, false)                     \
    X(timeEndPeriod, false)

PROFILED_CALLS(PROFILE_CALL)

#define REDIRECT_ENTRY(function, messages) \
    {#function, reinterpret_cast<void**>(&Hook_##function::original), reinterpret_cast<void*>(&Hook_##function::call)},

const std::vector<Redirect>& redirects()
{
    static const std::vector<Redirect> all = {PROFILED_CALLS(REDIRECT_ENTRY)};
    return all;
}

void printCalls(double wallMs, int runs)
{
    std::vector<std::pair<std::string, Stat>> sorted(callStats.begin(), callStats.end());
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second.ms > b.second.ms; });
    double profiled = 0;
    std::printf("    %-44s %10s %10s %9s\n", "call (on the caller's thread)", "calls/run", "ms/run", "us/call");
    for (const auto& [name, stat] : sorted) {
        profiled += stat.ms;
        std::printf("    %-44s %10.1f %10.3f %9.1f\n", name.c_str(), static_cast<double>(stat.calls) / runs,
                    stat.ms / runs, 1000.0 * stat.ms / static_cast<double>(stat.calls));
    }
    std::printf("    %-44s %10s %10.3f\n", "library's own code and other calls", "", (wallMs - profiled) / runs);
}

}  // namespace

CallProfile::CallProfile() : redirects_("zelvo.dll", redirects())
{
    profiledThread = GetCurrentThreadId();
}

void CallProfile::measure(const std::string& title, int runs, const std::function<void()>& work)
{
    callStats.clear();
    const double cpuStart = threadCpuMs();
    const double start = nowMs();
    for (int run = 0; run < runs; ++run) {
        work();
    }
    lastRuns = runs;
    lastWallMs = nowMs() - start;
    const double cpu = threadCpuMs() - cpuStart;

    std::printf("\n  profile: %s (%d runs, per run)\n", title.c_str(), runs);
    std::printf("    wall %.3f ms; the caller's thread on a CPU %.3f ms\n", lastWallMs / runs, cpu / runs);
    printCalls(lastWallMs, runs);
    std::fflush(stdout);
}

double CallProfile::wallMsPerRun() const
{
    return lastWallMs / lastRuns;
}

double CallProfile::msPerRun(const std::string& call) const
{
    const auto found = callStats.find(call);
    return found == callStats.end() ? 0 : found->second.ms / lastRuns;
}

}  // namespace bench
