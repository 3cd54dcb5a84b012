// The seven broker editions the library knows: how each is recognised from
// the main window title, how it tells credit accounts, and the control IDs
// and function-tree captions its profile holds.
#pragma once
#include <windows.h>

#include <string>

#include "session/session.h"

namespace zelvo {

struct Edition;

// The first edition whose title occurs in `title`, in the fixed test order;
// null when none does.
[[nodiscard]] const Edition* recognizeEdition(const std::string& title);

enum class AccountKind { Ordinary, Credit, Unknown };

// Ordinary or credit by the edition's rule; Unknown when the account text
// lacks what the rule needs.
[[nodiscard]] AccountKind accountKind(const Edition& edition, const std::string& accountText);

// The control ID of the edition's function tree for this kind of account.
[[nodiscard]] int functionTreeId(const Edition& edition, AccountKind kind);

// The full profile (16 IDs and 16 texts) of the edition for this kind.
[[nodiscard]] BrokerProfile editionProfile(const Edition& edition, AccountKind kind);

// The point in the trade switch's client area that shows the function tree.
[[nodiscard]] POINT treeSwitchPoint(const Edition& edition, AccountKind kind, const RECT& switchClient);

// Posts a left button click at `point` (client coordinates) and returns.
void postClick(HWND window, POINT point);

}  // namespace zelvo
