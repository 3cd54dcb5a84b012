#include "order_desk.h"

namespace substitute {

std::unique_ptr<PageBehaviour> makeOrderBehaviour(Client&, const std::string&)
{
    return nullptr;
}

}  // namespace substitute
