#include "orders/send_order.h"

#include "session/operation.h"

namespace zelvo {

int sendOrder(int, std::string, int, std::string& message, double)
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    if (!startOperation(s, message)) {
        return -1;
    }
    message = operation_texts::notSupported;
    return -1;
}

}  // namespace zelvo
