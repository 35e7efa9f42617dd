#pragma once

#include <QDialog>

#include "core/pictures/size_filter.h"

class QSpinBox;

namespace vel {

// "サイズで絞り込み": the smallest width and height in pixels and the
// smallest file size in KB to keep. The values stay for the run.
class SizeFilterDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SizeFilterDialog)

public:
    explicit SizeFilterDialog(QWidget* parent = nullptr);

    SizeMinimum minimum() const;

signals:
    // OK was pressed with these values.
    void filterConfirmed(const vel::SizeMinimum& minimum);

private:
    QSpinBox* m_width = nullptr;
    QSpinBox* m_height = nullptr;
    QSpinBox* m_kilobytes = nullptr;
};

}  // namespace vel
