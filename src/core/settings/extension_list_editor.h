#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vel {

// Shown when the entry is already in the working list (UTF-8).
inline constexpr std::string_view kDuplicateExtensionMessage = "その拡張子は既に登録されています";

// The working list of the "add and remove extensions" dialog: a copy of the
// chooser's items that the user edits; it reaches the chooser and config.lis
// only through OK. The list box mirrors items() and selectedIndex().
class ExtensionListEditor {
public:
    enum class AddResult { Added, Duplicate };

    // On showing: the working list becomes the chooser's items, nothing selected.
    void reload(const std::vector<std::string>& chooserItems);

    // The add button: appends the entry unless an equal one is listed (exact,
    // case-sensitive byte comparison, no trimming; an empty entry is an entry
    // like any other). The selection stays. Either way the caller empties the
    // entry box; on Duplicate it shows kDuplicateExtensionMessage.
    AddResult add(std::string_view entry);

    // -1 selects nothing; an index outside the list selects nothing either.
    void setSelectedIndex(int index);
    int selectedIndex() const { return m_selected; }

    // The delete button, the Delete key and Esc: removes the selected item, after
    // which nothing is selected. False (nothing changes) when none is selected.
    bool deleteSelected();

    const std::vector<std::string>& items() const { return m_items; }

private:
    std::vector<std::string> m_items;
    int m_selected = -1;
};

}  // namespace vel
