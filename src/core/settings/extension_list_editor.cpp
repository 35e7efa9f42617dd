#include "core/settings/extension_list_editor.h"

#include <algorithm>

namespace vel {

void ExtensionListEditor::reload(const std::vector<std::string>& chooserItems)
{
    m_items = chooserItems;
    m_selected = -1;
}

ExtensionListEditor::AddResult ExtensionListEditor::add(std::string_view entry)
{
    if (std::find(m_items.begin(), m_items.end(), entry) != m_items.end())
        return AddResult::Duplicate;
    m_items.emplace_back(entry);
    return AddResult::Added;
}

void ExtensionListEditor::setSelectedIndex(int index)
{
    m_selected = (index >= 0 && index < static_cast<int>(m_items.size())) ? index : -1;
}

bool ExtensionListEditor::deleteSelected()
{
    if (m_selected < 0 || m_selected >= static_cast<int>(m_items.size()))
        return false;
    m_items.erase(m_items.begin() + m_selected);
    m_selected = -1;
    return true;
}

}  // namespace vel
