// The control's type library: the machine-readable description of its dispatch interface,
// events, class and enumerations (control/typelib.json), embedded in libquivex.so as a Qt
// resource. Late-binding hosts read it, and the self-registration takes the library's
// identity from it, as a type library is registered from the module's own resources.
#pragma once

#include <QJsonObject>

namespace quivex {

// The resource the description is embedded as.
inline constexpr char kTypeLibraryResource[] = ":/quivex/typelib.json";

// The parsed description (read once); an empty object when the embedded resource is missing
// or is no JSON object.
QJsonObject typeLibrary();

} // namespace quivex
