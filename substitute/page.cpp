#include "page.h"

#include "cancel_desk.h"
#include "client.h"
#include "order_desk.h"
#include "query_desk.h"

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
