// zelvo.dll as a caller sees it: loaded with LoadLibrary, its eight exports
// bound by plain name. Each test loads a fresh copy, so every test starts
// with a fresh session.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "zelvo.h"

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
public:
    using LoginFn = decltype(&::Zelvo_Login);
    using LogoutFn = decltype(&::Zelvo_Logout);
    using TextFn = decltype(&::Zelvo_GetBroker);
    using QueryFn = decltype(&::Zelvo_QueryData);
    using OrderFn = decltype(&::Zelvo_SendOrder);
    using CancelFn = decltype(&::Zelvo_CancelOrder);

    ZelvoLibrary();
    ~ZelvoLibrary();
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

    FARPROC raw(const char* name) const;

    LoginFn Login = nullptr;
    LogoutFn Logout = nullptr;
    TextFn GetWndText = nullptr;
    TextFn GetBroker = nullptr;
    TextFn GetAccount = nullptr;
    QueryFn QueryData = nullptr;
    OrderFn SendOrder = nullptr;
    CancelFn CancelOrder = nullptr;

private:
    std::string readText(TextFn function);

    HMODULE module_ = nullptr;
    std::vector<char> message_;
    std::vector<char> result_;
};

// The folder of the running test program, where zelvo.dll is built.
std::string programFolder();
