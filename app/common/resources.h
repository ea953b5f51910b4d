// The application's numbered string table. Every user-visible text has a German number
// (1000-1999); English lives at +4000 and the third language slot (English texts) at +8000.
#pragma once

#include <QString>
#include <optional>

namespace common {

struct AppState;

inline constexpr int kGermanBase = 0;
inline constexpr int kEnglishBase = 4000;
inline constexpr int kThirdBase = 8000;

// The text stored under an absolute resource number, or nothing when there is none
// (for example 9020, the New button's tool tip in the third slot).
std::optional<QString> resourceString(int number);

// The text of a German number in the language slot of `state` (its `TextBase`), or nothing
// when that slot has no such text.
std::optional<QString> lookupRes(const AppState &state, int germanNumber);

// As lookupRes, but an empty text when there is none: for places that must show something.
QString res(const AppState &state, int germanNumber);

// The product title, resource 1000 ("Talvor Orvane").
QString productTitle(const AppState &state);

// The same on the program's one state, appState(): for the windows of the shell, which
// work on it directly. Classes that are handed a state use the forms above.
std::optional<QString> lookupRes(int germanNumber);
QString res(int germanNumber);
QString productTitle();

} // namespace common
