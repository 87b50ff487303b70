// Basket lists: the Basket saved to a text file and loaded from one, and the emptying of the Basket.
//
// A Basket list file is UTF-8 text with one line per Basket item, the item's folder path + "\" + its
// name, each line ended by CR LF; reading accepts CR LF, LF or CR. Lines that name nothing usable
// (empty, no "\", an empty name, a file that cannot be found) are skipped and the loading goes on.
#pragma once

#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/string_list.h"

class QWidget;

namespace wux::mainwindow {

// Empties the Basket: frees BasketState, creates it again empty (10 folders, 300 items, mask "*.*",
// 10,000 text bytes, sort word 0x4000), attaches the right and then the left Basket view and recounts
// both views.
void ClearBasket();

// One line per item of the Basket's expanded folders, folder by folder in storage order, the items
// of each in the Basket's display order (full name). The Basket's busy flag is set meanwhile and
// cleared at the end.
void SaveBasketToStrings(platform::StringList& list);

// Empties the Basket and fills it with the files the lines name (see above); each file is read from
// the disk and marked in both views when option 0x4000 is set. Returns how many lines were skipped
// (a name given twice is not counted).
int LoadBasketFromStrings(const platform::StringList& list);

// Writes the Basket list to a file (drive path) through the atomic rewrite: a failed save leaves the
// old file as it was. Returns 0 or the system error.
platform::WinError SaveBasketListFile(std::string_view path);
// Reads a Basket list file (drive path) into the Basket. An unreadable file changes nothing and
// returns its system error.
platform::WinError LoadBasketListFile(std::string_view path);

// The menu commands: the save or open dialog, then the file; a failure is shown in a warning box
// titled caption with the system's text. Cancelling the dialog changes nothing. Return true when a
// file was written or loaded.
bool SaveBasketListWithDialog(QWidget* parent, std::string_view caption);
bool LoadBasketListWithDialog(QWidget* parent, std::string_view caption);

} // namespace wux::mainwindow
