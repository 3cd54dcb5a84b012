#include "query_desk.h"

namespace substitute {

std::unique_ptr<PageBehaviour> makeQueryBehaviour(Client&, const std::string&)
{
    return nullptr;
}

}  // namespace substitute
