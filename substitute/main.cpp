// Runs the substitute trading client on its own, as a second process for the
// tests or for a person to look at.
//
//   zelvo-client [seconds] [tickets-file] [options]
//
// With a tickets file, every order click the client takes is appended to it
// as one line (page caption, code, price, quantity; TAB-separated, GBK), so
// that a test in another process sees which order page an order reached.
// Options, for the tests of the service's unattended trading:
//   --list-orders       every order the client accepts joins its today's
//                       orders and its cancel list
//   --cancels FILE      the order number of every cancel the client is asked
//                       for is appended to FILE, one a line
//   --lose-answer CODE  orders of CODE: the client's thread stops answering
//                       for 6.5 s when the final prompt is first read, so the
//                       caller never learns the order's result
//   --unreadable-answer CODE  orders of CODE: the final prompt has no message
//                       control, so the caller cannot read the order's result
//   --refuse CODE       orders of CODE are refused after their confirmation
//   --first-contract N  the contract number of the first order accepted
//                       (default 1001), as a client restarted during the
//                       day goes on numbering
//   --script FILE       lines appended to FILE (GBK) change the lists while
//                       the client runs, for the event stream's tests:
//                       "fill N" fills the listed order N (today's trades get
//                       its row), "status N TEXT" sets its status text
// The options on codes may be given several times, and together.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "editions.h"
#include "order_listing.h"

namespace {

// Longer than the library's 5 s bound on one exchange with the client.
constexpr DWORD lostAnswerStallMs = 6500;
constexpr char refusalText[] = "委托失败:可用资金不足";

struct Options {
    int seconds = 60;
    const char* ticketsPath = nullptr;
    const char* cancelsPath = nullptr;
    const char* scriptPath = nullptr;
    bool listOrders = false;
    int firstContract = 0;  // 0: the client's own first number
    std::map<std::string, substitute::OrderScript> codeScripts;
};

bool parseOptions(int argc, char** argv, Options& options)
{
    int positional = 0;
    for (int index = 1; index < argc; ++index) {
        const std::string name = argv[index];
        const bool hasValue = index + 1 < argc;
        if (name == "--list-orders") {
            options.listOrders = true;
        } else if (name == "--script" && hasValue) {
            options.scriptPath = argv[++index];
        } else if (name == "--cancels" && hasValue) {
            options.cancelsPath = argv[++index];
        } else if (name == "--lose-answer" && hasValue) {
            options.codeScripts[argv[++index]].stallOnAnswerReadMs = lostAnswerStallMs;
        } else if (name == "--unreadable-answer" && hasValue) {
            options.codeScripts[argv[++index]].answerReadable = false;
        } else if (name == "--refuse" && hasValue) {
            options.codeScripts[argv[++index]].finalText = refusalText;
        } else if (name == "--first-contract" && hasValue) {
            options.firstContract = std::atoi(argv[++index]);
            if (options.firstContract < 1) {
                return false;
            }
        } else if (name.rfind("--", 0) == 0 || positional == 2) {
            return false;
        } else if (positional++ == 0) {
            options.seconds = std::atoi(name.c_str());
        } else {
            options.ticketsPath = argv[index];
        }
    }
    return true;
}

// Appends the lines of the records after the first `written`; the new count.
template <typename Record, typename Format>
size_t appendLines(const std::vector<Record>& records, const char* path, size_t written, Format format)
{
    if (records.size() <= written) {
        return written;
    }
    FILE* file = std::fopen(path, "ab");
    if (file == nullptr) {
        return written;
    }
    for (size_t index = written; index < records.size(); ++index) {
        std::fprintf(file, "%s\n", format(records[index]).c_str());
    }
    std::fclose(file);
    return records.size();
}

std::string ticketLine(const substitute::OrderTicket& t)
{
    return t.page + "\t" + t.code + "\t" + t.price + "\t" + t.quantity;
}

// The order number of the row a cancel was asked for, as the page lists it.
std::string cancelledNumber(substitute::Client& client, const substitute::CancelRequest& request)
{
    const substitute::QueryContents listed = client.queries().contents(request.page);
    const int row = request.notice.iItem;
    for (size_t column = 0; column < listed.columns.size(); ++column) {
        if (listed.columns[column] == "委托编号" && row >= 0 && static_cast<size_t>(row) < listed.rows.size() &&
            column < listed.rows[static_cast<size_t>(row)].size()) {
            return listed.rows[static_cast<size_t>(row)][column];
        }
    }
    return "?";
}

// Carries out one line of the script file.
void runScriptLine(substitute::Client& client, const std::string& line)
{
    char verb[16] = {};
    int number = 0;
    int consumed = 0;
    if (std::sscanf(line.c_str(), "%15s %d %n", verb, &number, &consumed) < 2) {
        return;
    }
    if (std::strcmp(verb, "fill") == 0) {
        substitute::fillListedOrder(client, number);
    } else if (std::strcmp(verb, "status") == 0) {
        substitute::setListedStatus(client, number, line.substr(static_cast<size_t>(consumed)));
    }
}

// Runs the whole lines appended to the script file since `offset`; the new offset.
long runNewScriptLines(substitute::Client& client, const char* path, long offset)
{
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return offset;
    }
    std::fseek(file, offset, SEEK_SET);
    char line[512];
    while (std::fgets(line, sizeof line, file) != nullptr && std::strchr(line, '\n') != nullptr) {
        offset += static_cast<long>(std::strlen(line));
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        runScriptLine(client, text);
    }
    std::fclose(file);
    return offset;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: zelvo-client [seconds] [tickets-file] [--list-orders] [--cancels FILE] "
                             "[--lose-answer CODE]... [--unreadable-answer CODE]... [--refuse CODE]... "
                             "[--first-contract N] [--script FILE]\n");
        return 2;
    }
    substitute::Client client(substitute::editionClient(substitute::Broker::Huatai, false));
    if (options.listOrders) {
        substitute::listAcceptedOrders(client);
    }
    if (options.firstContract > 0) {
        client.orders().numberFrom(options.firstContract);
    }
    for (const auto& [code, script] : options.codeScripts) {
        client.orders().setScriptFor(code, script);
    }
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(options.seconds) * 1000;
    size_t tickets = 0;
    size_t cancels = 0;
    long scriptOffset = 0;
    while (GetTickCount64() < end) {
        Sleep(50);
        if (options.ticketsPath != nullptr) {
            tickets = appendLines(client.orders().tickets(), options.ticketsPath, tickets, ticketLine);
        }
        if (options.scriptPath != nullptr) {
            scriptOffset = runNewScriptLines(client, options.scriptPath, scriptOffset);
        }
        if (options.cancelsPath != nullptr) {
            cancels = appendLines(client.cancels().requests(), options.cancelsPath, cancels,
                                  [&client](const substitute::CancelRequest& request) {
                                      return cancelledNumber(client, request);
                                  });
        }
    }
    return 0;
}
