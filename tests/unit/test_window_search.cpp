// The search by control ID on a window tree of the client's thread: direct
// children first (a child with a same-ID descendant yields that descendant),
// then each child's subtree depth first, in z-order.
#include <gtest/gtest.h>

#include "client.h"
#include "dialogs.h"
#include "platform/windows_ui.h"

namespace {

using substitute::Client;

struct Tree {
    HWND root, a, a1, a2, b, b1, c, c1;
};

//  root
//   +- a  (5)  +- a1 (7)  +- a2 (9)
//   +- b  (7)  +- b1 (7)
//   +- c  (8)  +- c1 (9)
Tree buildTree(Client& client)
{
    Tree t{};
    client.onUi([&] {
        t.root = substitute::createDialog(client.mainWindow(), WS_POPUP, nullptr, 0);
        const auto add = [](HWND parent, int id) {
            return substitute::addControl(parent, "Static", "", WS_VISIBLE, id, 0, 0, 10, 10);
        };
        t.a = add(t.root, 5);
        t.a1 = add(t.a, 7);
        t.a2 = add(t.a, 9);
        t.b = add(t.root, 7);
        t.b1 = add(t.b, 7);
        t.c = add(t.root, 8);
        t.c1 = add(t.c, 9);
    });
    return t;
}

TEST(WindowSearch, FindsByControlIdInTheFrameworksOrder)
{
    Client client({});
    const Tree t = buildTree(client);
    EXPECT_EQ(zelvo::findDescendantById(t.root, 7), t.b1) << "direct child first, then its same-ID descendant";
    EXPECT_EQ(zelvo::findDescendantById(t.root, 5), t.a) << "a direct child without a same-ID descendant";
    EXPECT_EQ(zelvo::findDescendantById(t.root, 9), t.a2) << "depth first in z-order when no child has the ID";
    EXPECT_EQ(zelvo::findDescendantById(t.c, 9), t.c1);
    EXPECT_EQ(zelvo::findDescendantById(t.a, 7), t.a1);
    EXPECT_EQ(zelvo::findDescendantById(t.root, 42), nullptr);
    EXPECT_EQ(zelvo::findDescendantById(t.a1, 7), nullptr) << "the window itself is not searched";
    EXPECT_EQ(zelvo::findDescendantById(nullptr, 7), nullptr);

    client.onUi([&] { DestroyWindow(t.b1); });
    EXPECT_EQ(zelvo::findDescendantById(t.root, 7), t.b);
    client.onUi([&] { DestroyWindow(t.root); });
}

}  // namespace
