#include "cancel_desk.h"

namespace substitute {

std::unique_ptr<PageBehaviour> makeCancelBehaviour(Client&, const std::string&)
{
    return nullptr;
}

}  // namespace substitute
