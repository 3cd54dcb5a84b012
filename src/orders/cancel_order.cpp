#include "orders/cancel_order.h"

#include "session/operation.h"

namespace zelvo {

bool cancelOrder(int, std::string& message)
{
    SessionState& s = session();
    LockGuard guard(s.lock);
    if (!startOperation(s, message)) {
        return false;
    }
    message = operation_texts::notSupported;
    return false;
}

}  // namespace zelvo
