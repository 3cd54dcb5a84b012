// Runs the substitute trading client on its own, as a second process for the
// tests or for a person to look at. Usage: zelvo-client [seconds]
#include <cstdlib>

#include "editions.h"

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    substitute::Client client(substitute::editionClient(substitute::Broker::Huatai, false));
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return 0;
}
