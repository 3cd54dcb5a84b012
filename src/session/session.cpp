#include "session/session.h"

namespace zelvo {

namespace {
SessionState theSession;
}

SessionState& session()
{
    return theSession;
}

}  // namespace zelvo
