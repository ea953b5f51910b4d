// Lingmod: the language-string store of the video view control. Strings are keyed by
// language, prefix, section and number; a language handle fixes language and prefix.
#pragma once

#include "platform/wintypes.h"

#include <QString>

class QWidget;

namespace lingmod {

using platform::LCID;
using platform::LONG;

// A handle from talvorSetLanguage; 0 is never a valid handle. Handles are looked up in a
// table, so a freed or made-up handle is refused instead of followed.
using LanguageHandle = LONG;

// The languages the store holds. An LCID selects by its primary language; any other
// language is served in English.
enum class Language { German, English, Portuguese };

Language languageOf(LCID lcid);

// Opens a language for a module. `instance` is the caller's module instance (-1 for the
// calling module itself) and `module` its name; both are recorded only. The prefix selects
// the module's strings ("COM_" for the control).
LanguageHandle talvorSetLanguage(LONG instance, const QString &module, LCID lcid,
                                 const QString &prefix);

// The string of (section, number) in the handle's language; a string missing there is
// taken in English, then German. An empty string when it exists in none, or the handle is
// not valid; `found`, when given, tells the two apart.
QString talvorGetNLSString(LanguageHandle handle, LONG section, LONG number, bool *found = nullptr);

// Translates a dialog and its child widgets from the section. A widget's string number is
// its "nlsNumber" property, or else the digits after the last '_' of its object name
// ("btnOK_1611"), or its whole object name when that is a number. Buttons and labels get
// their text, group boxes their title, the dialog (or any other top-level widget) its
// window title. Widgets without a number or without a string keep their text. Returns the
// number of texts set, or -1 for an invalid handle or no dialog.
LONG talvorTranslateDialog(LanguageHandle handle, QWidget *dialog, LONG section);

// Frees the handle; freeing an unknown handle does nothing. Returns whether it was known.
bool talvorFreeLanguage(LanguageHandle handle);

// Adds or replaces a string of the store, for modules that bring their own.
void addString(Language language, const QString &prefix, LONG section, LONG number,
               const QString &text);

} // namespace lingmod
