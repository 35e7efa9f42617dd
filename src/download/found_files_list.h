#pragma once

#include <QListWidget>

namespace vel {

// The found-files list. Its horizontal scroll extent is set by the file search
// to the widest entry and stays so while entries are taken off the list.
class FoundFilesList final : public QListWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FoundFilesList)

public:
    explicit FoundFilesList(QWidget* parent = nullptr);

    int horizontalExtent() const { return m_extent; }
    void setHorizontalExtent(int pixels);

protected:
    void updateGeometries() override;

private:
    int m_extent = 0;
};

}  // namespace vel
