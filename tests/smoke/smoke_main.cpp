// The 32-bit smoke run: the delivered zelvo.dll loaded into a 32-bit process
// that shows the substitute client. It checks what only the 32-bit build can
// show (the __stdcall stack discipline of each export) and one whole attach.
// It prints one line per check and the closing count.
#include <windows.h>

#include <cstdio>
#include <string>

#include "editions.h"
#include "module_folder.h"
#include "zelvo_exports.h"

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    (ok ? passed : failed)++;
}

#if defined(__i386__)
// Pushes `count` dwords and calls `function`; gives how many bytes the stack
// pointer is off afterwards (0 when the callee removed its arguments).
int stackImbalance(FARPROC function, const DWORD* args, int count)
{
    int remaining = count;
    asm volatile(
        "movl %%esp, %%edi\n\t"
        "1: testl %%ecx, %%ecx\n\t"
        "jz 2f\n\t"
        "decl %%ecx\n\t"
        "pushl (%%edx,%%ecx,4)\n\t"
        "jmp 1b\n\t"
        "2: call *%%eax\n\t"
        "movl %%edi, %%ecx\n\t"
        "subl %%esp, %%ecx\n\t"
        "movl %%edi, %%esp\n\t"
        : "+c"(remaining), "+a"(function), "+d"(args)
        :
        : "edi", "memory", "cc");
    return remaining;
}

void checkStackDiscipline(const zelvo_common::ZelvoExports& zelvo)
{
    static char buffer[zelvo_common::textBufferBytes];
    const DWORD text = reinterpret_cast<DWORD>(buffer);
    const DWORD code = reinterpret_cast<DWORD>("600000");
    const DWORD noArgs[1] = {0};
    const DWORD one[] = {text};
    const DWORD login[] = {0, text};
    const DWORD query[] = {99, text, text};
    const DWORD order[] = {99, code, 0, 0, 100, text};  // the double 0.0 takes two dwords
    const DWORD cancel[] = {1, text};
    const auto raw = [](auto function) { return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function)); };
    const struct {
        const char* name;
        FARPROC function;
        const DWORD* args;
        int count;
    } calls[] = {{"Zelvo_GetBroker", raw(zelvo.getBroker), one, 1},
                 {"Zelvo_GetWndText", raw(zelvo.getWndText), one, 1},
                 {"Zelvo_GetAccount", raw(zelvo.getAccount), one, 1},
                 {"Zelvo_Logout", raw(zelvo.logout), noArgs, 0},
                 {"Zelvo_QueryData", raw(zelvo.queryData), query, 3},
                 {"Zelvo_SendOrder", raw(zelvo.sendOrder), order, 6},
                 {"Zelvo_CancelOrder", raw(zelvo.cancelOrder), cancel, 2},
                 {"Zelvo_Login", raw(zelvo.login), login, 2}};
    for (const auto& call : calls) {
        check(stackImbalance(call.function, call.args, call.count) == 0,
              std::string(call.name) + " removes its own " + std::to_string(call.count * 4) + " argument bytes");
    }
}
#endif

}  // namespace

int main()
{
    check(GetACP() == 936, "the ANSI code page is 936");
    substitute::Client client(substitute::editionClient(substitute::Broker::Huatai, false));
    const zelvo_common::BoundZelvo zelvo = zelvo_common::loadZelvo(zelvo_common::moduleFolder(nullptr) + L"zelvo.dll");
    check(zelvo.ok(), "zelvo.dll loads and its eight exports bind");
    if (!zelvo.ok()) {
        std::printf("     load error %lu, first missing export %s\n", zelvo.loadError,
                    zelvo.missingExport != nullptr ? zelvo.missingExport : "none");
        std::printf("%d passed, %d failed\n", passed, failed);
        return 1;
    }
#if defined(__i386__)
    checkStackDiscipline(zelvo.exports);
#endif
    static char message[zelvo_common::textBufferBytes];
    check(zelvo.exports.login("", message), "Zelvo_Login attaches to the substitute client");
    zelvo.exports.getBroker(message);
    check(std::string(message) == "华泰", "Zelvo_GetBroker names the recognised edition");
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
