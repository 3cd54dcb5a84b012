// zelvo.dll as the service calls it: loaded from the host's own folder, its
// eight exports found by name, each call made with GBK text and answered in
// UTF-8, with the client's state the answer shows. Used from the service
// thread only. (The tests' ZelvoLibrary is the library as a plain caller
// sees it, GBK in and out.)
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "zelvo_exports.h"

namespace zelvo_host {

struct TextAnswer {
    bool ok = false;
    std::string message;      // UTF-8
    std::string clientState;  // what the answer shows of the client (rules/client_watch.h: clientStateOf)
};

struct QueryAnswer {
    std::string result;       // UTF-8 table text or funds line; empty on failure
    std::string message;      // UTF-8
    std::string clientState;  // as TextAnswer's; "attached" when there is a result
};

struct OrderAnswer {
    int contract = -1;
    std::string message;  // UTF-8
    // The library's answer says the order may be out although no contract
    // number came back (zelvo::answers::orderOutcomeUnknown).
    bool outcomeUnknown = false;
};

// The loaded library and the buffers its calls write into, of the sizes
// zelvo_exports.h gives for answers of any length.
class ZelvoDll {
public:
    ZelvoDll() = default;
    ZelvoDll(const ZelvoDll&) = delete;
    ZelvoDll& operator=(const ZelvoDll&) = delete;

    // Loads `path` and finds the eight exports. False when the file is
    // missing or an export is absent.
    [[nodiscard]] bool load(const std::wstring& path);

    // The callers' texts (the password, the code) are GBK already: converted
    // from the request's UTF-8, and refused there when GBK cannot write them.
    [[nodiscard]] TextAnswer login(const std::string& gbkPassword);
    void logout();
    [[nodiscard]] std::string title();
    [[nodiscard]] std::string broker();
    [[nodiscard]] std::string account();
    [[nodiscard]] QueryAnswer query(int kind);
    [[nodiscard]] OrderAnswer sendOrder(int kind, const std::string& gbkCode, double price, int quantity);
    [[nodiscard]] TextAnswer cancelOrder(int orderNo);

    // Milliseconds spent inside the library's exports since the last reset,
    // reported with each answer so a caller can tell the service's own cost.
    [[nodiscard]] double exportMillis() const { return exportMillis_; }
    void resetExportMillis() { exportMillis_ = 0.0; }

private:
    [[nodiscard]] std::string getText(zelvo_common::ZelvoExports::TextGetter getter);
    [[nodiscard]] char* message();
    void addElapsed(LARGE_INTEGER start);

    zelvo_common::BoundZelvo zelvo_;
    std::vector<char> result_;
    std::vector<char> message_;
    double exportMillis_ = 0.0;
};

}  // namespace zelvo_host
