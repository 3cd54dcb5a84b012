// Named shapes of the substitute client, for running a whole suite, the
// demo or the benchmark against a client built the way real clients often
// are. `plain` is the client as each setup describes it; `realistic` turns
// on common controls version 6, Unicode windows, controls subclassed at
// creation, owner-data lists of today's orders and trades, and pop-ups
// shown by a second thread (ClientSetup's shapes 1 to 5); `busy` has the UI
// thread work 50 ms out of every 100 ms without answering (shape 7).
#pragma once
#include <optional>
#include <string>

#include "client.h"

namespace substitute {

enum class Shape { Plain, Realistic, Busy };

[[nodiscard]] std::optional<Shape> shapeNamed(const std::string& name);
[[nodiscard]] const char* shapeName(Shape shape);

// Turns on what the shape has; nothing the setup has is turned off.
void applyShape(ClientSetup& setup, Shape shape);

// Every client made in this process from now on takes the shape too.
void setProcessShape(Shape shape);
[[nodiscard]] Shape processShape();

}  // namespace substitute
