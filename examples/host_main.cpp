// Runs the example caller the way a real host does: inside the process of
// the (substitute) trading client, from a thread that is not the client's
// user-interface thread.
#include <cstdio>

#include "editions.h"

extern "C" int zelvo_example(FILE* out);

int main()
{
    substitute::Client client(substitute::editionClient(substitute::Broker::Huatai, false));
    const int failures = zelvo_example(stdout);
    std::printf("example: %s\n", failures == 0 ? "ok" : "FAILED");
    return failures == 0 ? 0 : 1;
}
