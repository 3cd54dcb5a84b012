// Inside the substitute's query pages: which captions are query pages and
// what they show before a test says otherwise.
#pragma once
#include <string>

#include "client.h"
#include "query_desk.h"

namespace substitute {

// The contents a query page shows until they are set: columns and a few rows
// that fit the page, the status text and, on the funds pages, funds lines.
QueryContents defaultContents(const std::string& caption);

// Whether the page `caption` opens shows its rows through an owner-data list.
bool listsByOwnerData(const ClientSetup& setup, const std::string& caption);

}  // namespace substitute
