// The application's numbered string table. Every user-visible text has a German number
// (1000-1999); English lives at +4000 and the third language slot (English texts) at +8000.
#pragma once

#include <QString>
#include <optional>

namespace shell {

inline constexpr int kGermanBase = 0;
inline constexpr int kEnglishBase = 4000;
inline constexpr int kThirdBase = 8000;

// The text stored under an absolute resource number, or nothing when there is none
// (for example 9020, the New button's tool tip in the third slot).
std::optional<QString> resourceString(int number);

// The text of a German number in the language slot of the running program (`TextBase`),
// or nothing when that slot has no such text.
std::optional<QString> lookupRes(int germanNumber);

// As lookupRes, but an empty text when there is none: for places that must show something.
QString res(int germanNumber);

// The product title, resource 1000 ("Talvor Orvane").
QString productTitle();

} // namespace shell
