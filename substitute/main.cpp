// Runs the substitute trading client on its own, as a second process for the
// tests or for a person to look at. Usage: zelvo-client [seconds] [tickets-file]
// With a tickets file, every order click the client takes is appended to it
// as one line (page caption, code, price, quantity; TAB-separated, GBK), so
// that a test in another process sees which order page an order reached.
#include <cstdio>
#include <cstdlib>

#include "editions.h"

namespace {

// Appends the tickets after the first `written` ones; the new count.
size_t appendTickets(substitute::Client& client, const char* path, size_t written)
{
    const std::vector<substitute::OrderTicket> tickets = client.orders().tickets();
    if (tickets.size() <= written) {
        return written;
    }
    if (FILE* file = std::fopen(path, "ab")) {
        for (size_t index = written; index < tickets.size(); ++index) {
            const substitute::OrderTicket& t = tickets[index];
            std::fprintf(file, "%s\t%s\t%s\t%s\n", t.page.c_str(), t.code.c_str(), t.price.c_str(), t.quantity.c_str());
        }
        std::fclose(file);
        return tickets.size();
    }
    return written;
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const char* ticketsPath = argc > 2 ? argv[2] : nullptr;
    substitute::Client client(substitute::editionClient(substitute::Broker::Huatai, false));
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    size_t written = 0;
    while (GetTickCount64() < end) {
        Sleep(50);
        if (ticketsPath != nullptr) {
            written = appendTickets(client, ticketsPath, written);
        }
    }
    return 0;
}
