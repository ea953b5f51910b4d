// Replaces the design-time resource numbers of a window's texts with the texts of the
// running language slot. A text that is no number, or a number without a text, stays.
#pragma once

class QWidget;

namespace shell {

// Where the design-time resource numbers live:
//   dynamic property "tag"            a form's title, a label's text, any other widget's
//                                     caption (button text, group box title, ...);
//   dynamic property "toolTipNumber"  any other widget's tool tip;
//   an action's text                  a menu entry (actions shown in a menu or menu bar);
//   an action's tool tip              a toolbar button (actions shown in a toolbar);
//   a tab's text and tab tool tip     the tabs of a tab bar (also inside a tab widget);
//   header data, Qt::UserRole         the columns of a list or table view.
inline constexpr const char *kTagProperty = "tag";
inline constexpr const char *kToolTipProperty = "toolTipNumber";

// Sets the window title from the form's tag, then every child's texts by its kind: labels,
// menus and actions, tab bars, toolbars, table headers, and any other widget's caption and
// tool tip. A failing child is skipped; the rest is still translated. Returns the number of
// texts that could not be set.
int TranslateForm(QWidget *form);

} // namespace shell
