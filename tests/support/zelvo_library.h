// zelvo.dll as a caller sees it: loaded from the test program's folder, its
// eight exports bound by plain name (zelvo_exports.h). Each instance loads a
// copy of its own, so every test starts with a fresh session even though
// the library stays loaded for good once it has worked on a client.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "zelvo_exports.h"

struct QueryAnswer {
    std::string text;
    std::string message;
};

struct OrderAnswer {
    int contract;
    std::string message;
};

struct CancelAnswer {
    bool accepted;
    std::string message;
};

struct LoginAnswer {
    bool attached;
    std::string message;
};

class ZelvoLibrary {
    // First: the exports below refer to it.
    zelvo_common::BoundZelvo zelvo_;

public:
    using Exports = zelvo_common::ZelvoExports;

    // Throws when zelvo.dll does not load or lacks an export: the test fails.
    ZelvoLibrary();
    ZelvoLibrary(const ZelvoLibrary&) = delete;
    ZelvoLibrary& operator=(const ZelvoLibrary&) = delete;

    LoginAnswer login(const char* password = "");
    void logout();
    std::string title();
    std::string broker();
    std::string account();
    QueryAnswer query(int kind);
    OrderAnswer order(int kind, const char* code, double price, int quantity);
    CancelAnswer cancel(int orderNo);

    // The exports themselves, for calls with buffers of the test's own.
    const Exports::Login& Login = zelvo_.exports.login;
    const Exports::Logout& Logout = zelvo_.exports.logout;
    const Exports::TextGetter& GetWndText = zelvo_.exports.getWndText;
    const Exports::TextGetter& GetBroker = zelvo_.exports.getBroker;
    const Exports::TextGetter& GetAccount = zelvo_.exports.getAccount;
    const Exports::QueryData& QueryData = zelvo_.exports.queryData;
    const Exports::SendOrder& SendOrder = zelvo_.exports.sendOrder;
    const Exports::CancelOrder& CancelOrder = zelvo_.exports.cancelOrder;

private:
    std::string readText(Exports::TextGetter function);

    std::vector<char> message_;
    std::vector<char> result_;
};

// The folder of the running test program, where zelvo.dll is built.
std::string programFolder();
