// The substitute's query pages: which captions are query pages, what they
// show before a test says otherwise, and how they answer a query.
#pragma once
#include <memory>
#include <string>

#include "client.h"
#include "query_desk.h"

namespace substitute {

// The query behaviour of the page `caption` opens, or null when it is no query page.
std::unique_ptr<PageBehaviour> makeQueryBehaviour(Client& client, const std::string& caption);

// Runs the query of the client's shortable page as a toolbar press of
// `buttonName` does; false when the name starts no query or no such page
// is open. Called on the client's UI thread.
bool runToolbarQuery(Client& client, const std::string& buttonName);


// The contents a query page shows until they are set: columns and a few rows
// that fit the page, the status text and, on the funds pages, funds lines.
QueryContents defaultContents(const std::string& caption);

// Whether the page `caption` opens shows its rows through an owner-data list.
bool listsByOwnerData(const ClientSetup& setup, const std::string& caption);

}  // namespace substitute
