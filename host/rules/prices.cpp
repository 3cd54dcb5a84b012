#include "rules/prices.h"

#include <algorithm>
#include <cmath>

namespace zelvo_host {

namespace {

[[nodiscard]] double ticksPerUnit(std::string_view code)
{
    return priceDecimals(code) == 3 ? 1000.0 : 100.0;
}

}  // namespace

int priceDecimals(std::string_view code)
{
    return !code.empty() && (code[0] == '1' || code[0] == '5') ? 3 : 2;
}

std::string tickText(std::string_view code)
{
    return priceDecimals(code) == 3 ? "0.001" : "0.01";
}

std::optional<double> priceOnTick(std::string_view code, double price)
{
    if (!std::isfinite(price) || price <= 0.0 || price > maxOrderPrice) {
        return std::nullopt;
    }
    const double scale = ticksPerUnit(code);
    const double ticks = price * scale;
    const double whole = std::nearbyint(ticks);
    // A price written with the tick's decimals is a few units in the last
    // place from its whole number of ticks once read into a double: that
    // much is taken as on the tick, anything more (a billionth of a tick at
    // least) as between ticks.
    const double slack = std::max(1e-9, ticks * 1e-15);
    if (whole < 1.0 || std::fabs(ticks - whole) > slack) {
        return std::nullopt;
    }
    return whole / scale;
}

double priceAsSent(std::string_view code, double price)
{
    const double scale = ticksPerUnit(code);
    return std::isfinite(price) ? std::nearbyint(price * scale) / scale : price;
}

}  // namespace zelvo_host
