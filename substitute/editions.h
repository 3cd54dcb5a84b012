// The broker editions the substitute client can pose as: their titles,
// account texts, function-tree IDs and trees.
#pragma once
#include <string>
#include <vector>

#include "client.h"

namespace substitute {

enum class Broker { Zhaoshang, Guotai, Guoxin, Huatai, Zhongxin, Zhongjin, Qilu };

constexpr Broker allBrokers[] = {Broker::Zhaoshang, Broker::Guotai,   Broker::Guoxin, Broker::Huatai,
                                 Broker::Zhongxin,  Broker::Zhongjin, Broker::Qilu};

struct EditionFacts {
    std::vector<std::string> titles;
    std::string brokerName;
    int ordinaryTreeId;
    int creditTreeId;
};

EditionFacts editionFacts(Broker broker);

// A ready client of the edition: its first title (or `titleIndex`), an account
// text of the kind asked for, the matching tree ID, and a tree that holds the
// edition's captions in folders, with decoys under the unwalked folders.
ClientSetup editionClient(Broker broker, bool credit, int titleIndex = 0);

// The account text the edition shows for an ordinary or a credit account.
std::string accountText(Broker broker, bool credit);

// The captions the edition's tree holds for that kind of account.
std::vector<std::string> editionCaptions(Broker broker, bool credit);

}  // namespace substitute
