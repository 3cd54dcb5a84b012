#include "page.h"

#include "cancel_desk.h"
#include "client.h"
#include "order_flow.h"
#include "query_pages.h"

namespace substitute {

PageBehaviours behavioursFor(Client& client, const std::string& caption)
{
    PageBehaviours behaviours;
    for (auto make : {makeOrderBehaviour, makeQueryBehaviour, makeCancelBehaviour}) {
        if (auto behaviour = make(client, caption)) {
            behaviours.push_back(std::move(behaviour));
        }
    }
    return behaviours;
}

}  // namespace substitute
