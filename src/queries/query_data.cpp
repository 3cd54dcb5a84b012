#include "queries/query_data.h"

#include "session/operation.h"

namespace zelvo {

std::string queryData(int, std::string& message)
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    if (!startOperation(s, message)) {
        return {};
    }
    message = operation_texts::notSupported;
    return {};
}

}  // namespace zelvo
