// The main window's visible texts by number and the pure rules of its menus and toolbars: which
// text goes to which component, the menu captions of the function keys, and how the speed buttons of
// a toolbar share its width.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class QObject;
class QString;

namespace wux::mainwindow {

// The text of id from the text table, as a QString.
QString uiQText(int id);

// Registers the English defaults of the main window's texts 408-469.
void registerMainWindowTexts();

// Which property of a component a text sets.
enum class TextTarget
{
    Caption,         // a button's or item's caption, a menu's title, a label's text
    Hint,            // the tool tip
    CaptionAndHint,  // both
    StrippedCaption, // the caption without its first word ("F3 View" -> "View")
};

struct TextBinding
{
    int id;
    const char* component;
    TextTarget target;
};

// The main window's texts in the order they are applied.
const std::vector<TextBinding>& mainWindowTextBindings();

// Applies one text to a component of root found by its name (an action, a menu, a button or a label):
// root's own, never one of the panels, tool forms or dialogs it holds; false when root has none.
bool applyText(QObject* root, const TextBinding& binding);

// The text after the first blank (positions 1 to length - 1 are searched); the whole text when there
// is no blank before the last character.
std::string StripFirstWord(std::string_view text);

// One speed button of a toolbar row, in the row's order.
struct RowButton
{
    bool named; // has a component name: takes a share of the width
    int width;
};

// The widths after the toolbar's resize: the named buttons share the panel's width left by the
// unnamed ones equally; the last named one takes what the integer shares leave, so that the row
// fills the panel exactly. Without named buttons nothing changes.
std::vector<int> pnlToolsResize(int panelWidth, const std::vector<RowButton>& buttons);

} // namespace wux::mainwindow
