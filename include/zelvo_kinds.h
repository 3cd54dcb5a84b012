// The query and order kinds of Zelvo_QueryData and Zelvo_SendOrder, with
// the names the service, the demo and the Python client give them. C++17.
#pragma once
#include <cstddef>
#include <optional>
#include <string_view>

namespace zelvo {

enum class QueryKind : int {
    RmbFunds = 0,     // the renminbi funds line
    UsdFunds = 1,     // the US dollar funds line
    HkdFunds = 2,     // the Hong Kong dollar funds line
    Positions = 3,
    TodayOrders = 4,
    TodayTrades = 5,
    MarginDebt = 6,
    ShortDebt = 7,
    Shortable = 8,    // securities that may be sold short
    CancelList = 9,   // the orders that can still be cancelled
    Currencies = 10,  // the funds of the three currencies as one table
    Shareholders = 11,
};

enum class OrderKind : int {
    Buy = 0,
    Sell = 1,
    MarginBuy = 2,
    ShortSell = 3,
    BuyToReturn = 4,
    SellToRepay = 5,
    ReturnInKind = 6,
};

template <typename Kind>
struct KindName {
    std::string_view name;
    Kind kind;
};

inline constexpr KindName<QueryKind> queryKindNames[] = {
    {"funds", QueryKind::RmbFunds},         {"usd-funds", QueryKind::UsdFunds},
    {"hkd-funds", QueryKind::HkdFunds},     {"positions", QueryKind::Positions},
    {"orders", QueryKind::TodayOrders},     {"trades", QueryKind::TodayTrades},
    {"margin-debt", QueryKind::MarginDebt}, {"short-debt", QueryKind::ShortDebt},
    {"shortable", QueryKind::Shortable},    {"cancel-list", QueryKind::CancelList},
    {"currencies", QueryKind::Currencies},  {"shareholders", QueryKind::Shareholders},
};

inline constexpr KindName<OrderKind> orderKindNames[] = {
    {"buy", OrderKind::Buy},
    {"sell", OrderKind::Sell},
    {"margin-buy", OrderKind::MarginBuy},
    {"short-sell", OrderKind::ShortSell},
    {"buy-to-return", OrderKind::BuyToReturn},
    {"sell-to-repay", OrderKind::SellToRepay},
    {"return-in-kind", OrderKind::ReturnInKind},
};

// The kind a name stands for; none for an unknown name.
template <typename Kind, std::size_t count>
[[nodiscard]] constexpr std::optional<Kind> kindNamed(const KindName<Kind> (&names)[count],
                                                      std::string_view name) noexcept
{
    for (const KindName<Kind>& entry : names) {
        if (entry.name == name) {
            return entry.kind;
        }
    }
    return std::nullopt;
}

// The kind an export's integer argument stands for; none outside the range.
[[nodiscard]] constexpr std::optional<QueryKind> queryKindOf(int value) noexcept
{
    if (value < 0 || value > static_cast<int>(QueryKind::Shareholders)) {
        return std::nullopt;
    }
    return static_cast<QueryKind>(value);
}

[[nodiscard]] constexpr std::optional<OrderKind> orderKindOf(int value) noexcept
{
    if (value < 0 || value > static_cast<int>(OrderKind::ReturnInKind)) {
        return std::nullopt;
    }
    return static_cast<OrderKind>(value);
}

// The funds kinds answer one funds line rather than table text.
[[nodiscard]] constexpr bool isFundsLine(QueryKind kind) noexcept
{
    return kind == QueryKind::RmbFunds || kind == QueryKind::UsdFunds || kind == QueryKind::HkdFunds;
}

}  // namespace zelvo
