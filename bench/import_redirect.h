// Swaps entries of a module's import table for wrappers, for as long as the
// owner lives. Each wrapper calls on through `original`, which receives what
// the slot held: so redirections of the same function nest (the later one
// wraps the earlier) and must end in the reverse order, as scoped owners do.
#pragma once
#include <windows.h>

#include <vector>

namespace bench {

struct Redirect {
    const char* name;  // the imported function
    void** original;   // receives the slot's value while redirected
    void* wrapper;
};

class RedirectedImports {
public:
    RedirectedImports(const char* module, std::vector<Redirect> redirects);
    ~RedirectedImports();
    RedirectedImports(const RedirectedImports&) = delete;
    RedirectedImports& operator=(const RedirectedImports&) = delete;

private:
    HMODULE module_;
    std::vector<Redirect> redirects_;
};

}  // namespace bench
