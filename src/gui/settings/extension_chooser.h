#pragma once

#include <string>
#include <vector>

class QComboBox;

namespace vel {

// The extension chooser shows its items decoded but keeps each line of the
// extension list as the bytes it was read as, so a save writes them back
// unchanged and the search uses exactly those bytes.
void fillExtensionChooser(QComboBox* chooser, const std::vector<std::string>& items,
                          int selectedIndex);
std::vector<std::string> extensionChooserItems(const QComboBox* chooser);
// The item at index, or the empty text when the index names no item.
std::string extensionChooserItem(const QComboBox* chooser, int index);

}  // namespace vel
