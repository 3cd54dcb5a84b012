#include "session.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <vector>

#include "gbk_text.h"
#include "terminal.h"
#include "zelvo_exports.h"
#include "zelvo_kinds.h"

namespace demo {

const char defaultScript[] =
    "login 123456\n"
    "title\n"
    "broker\n"
    "account\n"
    "query funds\n"
    "query currencies\n"
    "query positions\n"
    "buy 600000 10.50 100\n"
    "query orders\n"
    "cancel last\n"
    "query trades\n"
    "logout\n";

namespace {

std::vector<char> messageBuffer(zelvo_common::textBufferBytes);
std::vector<char> resultBuffer(zelvo_common::queryResultBufferBytes);
int lastContract = -1;

const char helpText[] =
    "commands:\n"
    "  login [password]      attach to the client (Zelvo_Login)\n"
    "  logout                detach and show the client (Zelvo_Logout)\n"
    "  title | broker | account\n"
    "  query KIND            KIND: a number 0-11 or funds, usd-funds, hkd-funds, positions, orders,\n"
    "                        trades, margin-debt, short-debt, shortable, cancel-list, currencies, shareholders\n"
    "  buy | sell | margin-buy | short-sell | buy-to-return | sell-to-repay | return-in-kind CODE PRICE QUANTITY\n"
    "  cancel NUMBER|last    cancel an order by its number (last: the last contract number)\n"
    "  help | quit";

bool parseInt(const std::string& text, int& value)
{
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

// The kind named by `name`, or given as a number (any number: the demo
// shows what the library answers to a kind it does not know).
template <typename Kind, std::size_t count>
bool lookUp(const zelvo::KindName<Kind> (&names)[count], const std::string& name, int& kind)
{
    if (const std::optional<Kind> named = zelvo::kindNamed(names, name)) {
        kind = static_cast<int>(*named);
        return true;
    }
    return parseInt(name, kind);
}

// A word the person typed, as GBK for the library; empty (with the reason
// printed) when GBK cannot write it: the library must get what was typed.
std::optional<std::string> typedAsGbk(const std::string& utf8)
{
    std::optional<std::string> gbk = zelvo_common::utf8ToGbk(utf8);
    if (!gbk) {
        say("  the text holds a character GBK cannot write; nothing was sent");
    }
    return gbk;
}

std::string message()
{
    return messageBuffer.data();
}

void printCall(const std::string& call)
{
    say("");
    say("> " + call);
}

bool login(const std::string& typedPassword)
{
    const std::optional<std::string> password = typedAsGbk(typedPassword);
    if (!password) {
        return false;
    }
    printCall("Zelvo_Login(\"" + *password + "\")");
    const bool attached = Zelvo_Login(password->c_str(), messageBuffer.data());
    say(std::string("  result  ") + (attached ? "true" : "false"));
    say("  message " + message());
    return true;
}

void getter(zelvo_common::ZelvoExports::TextGetter function, const char* name)
{
    printCall(std::string(name) + "()");
    function(messageBuffer.data());
    say("  text    " + message());
}

bool query(const std::string& kindName)
{
    int kind = 0;
    if (!lookUp(zelvo::queryKindNames, kindName, kind)) {
        say("  unknown query kind '" + kindName + "' (try: help)");
        return false;
    }
    printCall("Zelvo_QueryData(" + std::to_string(kind) + ")  [" + kindName + "]");
    Zelvo_QueryData(kind, resultBuffer.data(), messageBuffer.data());
    say("  message " + message());
    printTable(resultBuffer.data());
    return true;
}

bool order(int kind, const std::vector<std::string>& words)
{
    int quantity = 0;
    char* end = nullptr;
    const double price = words.size() == 4 ? std::strtod(words[2].c_str(), &end) : 0.0;
    if (words.size() != 4 || *end != '\0' || !std::isfinite(price) || !parseInt(words[3], quantity)) {
        say("  usage: " + words[0] + " CODE PRICE QUANTITY, for example " + words[0] + " 600000 10.50 100");
        return false;
    }
    const std::optional<std::string> gbkCode = typedAsGbk(words[1]);
    if (!gbkCode) {
        return false;
    }
    const std::string& code = *gbkCode;
    char priceText[64];
    std::snprintf(priceText, sizeof priceText, "%g", price);
    printCall("Zelvo_SendOrder(" + std::to_string(kind) + ", \"" + code + "\", " + priceText + ", " +
              std::to_string(quantity) + ")  [" + words[0] + "]");
    const int contract = Zelvo_SendOrder(kind, code.c_str(), price, quantity, messageBuffer.data());
    say("  result  " + std::to_string(contract));
    say("  message " + message());
    if (contract >= 0) {
        lastContract = contract;
    }
    return true;
}

bool cancel(const std::vector<std::string>& words)
{
    int number = lastContract;
    if (words.size() != 2 || (words[1] != "last" && !parseInt(words[1], number))) {
        say("  usage: cancel NUMBER (or: cancel last)");
        return false;
    }
    printCall("Zelvo_CancelOrder(" + std::to_string(number) + ")");
    const bool accepted = Zelvo_CancelOrder(number, messageBuffer.data());
    say(std::string("  result  ") + (accepted ? "true" : "false"));
    say("  message " + message());
    return true;
}

std::vector<std::string> wordsOf(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

// Runs one command; false when it could not be run (its explanation printed).
bool runCommand(const std::vector<std::string>& words)
{
    const std::string& verb = words[0];
    int kind = 0;
    if (verb == "login" && words.size() <= 2) {
        return login(words.size() == 2 ? words[1] : std::string());
    } else if (verb == "logout" && words.size() == 1) {
        printCall("Zelvo_Logout()");
        Zelvo_Logout();
    } else if (verb == "title" || verb == "broker" || verb == "account") {
        getter(verb == "title" ? Zelvo_GetWndText : verb == "broker" ? Zelvo_GetBroker : Zelvo_GetAccount,
               verb == "title" ? "Zelvo_GetWndText" : verb == "broker" ? "Zelvo_GetBroker" : "Zelvo_GetAccount");
    } else if (verb == "query" && words.size() == 2) {
        return query(words[1]);
    } else if (lookUp(zelvo::orderKindNames, verb, kind) && !parseInt(verb, kind)) {
        return order(kind, words);
    } else if (verb == "cancel") {
        return cancel(words);
    } else if (verb == "help") {
        say(helpText);
    } else {
        say("  unknown command '" + zelvo_common::utf8ToGbk(verb).value_or("?") + "' or wrong arguments (try: help)");
        return false;
    }
    return true;
}

}  // namespace

int runSession(std::istream& input, bool prompt)
{
    int failures = 0;
    std::string line;
    for (;;) {
        if (prompt) {
            std::fputs("zelvo> ", stdout);
            std::fflush(stdout);
        }
        if (!std::getline(input, line)) {
            return failures;
        }
        const std::vector<std::string> words = wordsOf(line);
        if (words.empty() || words[0][0] == '#') {
            continue;
        }
        if (words[0] == "quit") {
            return failures;
        }
        failures += runCommand(words) ? 0 : 1;
    }
}

}  // namespace demo
