#include "gui/settings/extension_chooser.h"

#include <QByteArray>
#include <QComboBox>

#include "gui/common/qt_text.h"

namespace vel {

namespace {

constexpr int kItemBytesRole = Qt::UserRole + 1;

}  // namespace

void fillExtensionChooser(QComboBox* chooser, const std::vector<std::string>& items,
                          int selectedIndex)
{
    chooser->clear();
    for (const std::string& item : items) {
        chooser->addItem(toQString(item));
        chooser->setItemData(chooser->count() - 1,
                             QByteArray(item.data(), static_cast<qsizetype>(item.size())),
                             kItemBytesRole);
    }
    chooser->setCurrentIndex(selectedIndex);
}

std::string extensionChooserItem(const QComboBox* chooser, int index)
{
    if (index < 0 || index >= chooser->count())
        return {};
    const QVariant bytes = chooser->itemData(index, kItemBytesRole);
    if (!bytes.isValid())
        return fromQString(chooser->itemText(index));
    const QByteArray data = bytes.toByteArray();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

std::vector<std::string> extensionChooserItems(const QComboBox* chooser)
{
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(chooser->count()));
    for (int i = 0; i < chooser->count(); ++i)
        items.push_back(extensionChooserItem(chooser, i));
    return items;
}

}  // namespace vel
