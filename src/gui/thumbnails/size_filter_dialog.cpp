#include "gui/thumbnails/size_filter_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vel {

namespace {

QSpinBox* makeSpinBox(QWidget* parent, const char* name, const QString& label,
                      const QString& suffix)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(label);
    box->setRange(0, 100'000);
    box->setSuffix(suffix);
    return box;
}

}  // namespace

SizeFilterDialog::SizeFilterDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("sizeFilter"));
    setWindowTitle(QStringLiteral("サイズで絞り込み"));
    const QString width = QStringLiteral("最小の幅");
    const QString height = QStringLiteral("最小の高さ");
    const QString kilobytes = QStringLiteral("最小のファイルサイズ");
    m_width = makeSpinBox(this, "minWidth", width, QStringLiteral(" px"));
    m_height = makeSpinBox(this, "minHeight", height, QStringLiteral(" px"));
    m_kilobytes = makeSpinBox(this, "minKilobytes", kilobytes, QStringLiteral(" KB"));
    auto* form = new QFormLayout;
    form->addRow(width, m_width);
    form->addRow(height, m_height);
    form->addRow(kilobytes, m_kilobytes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::accepted, this, [this] { emit filterConfirmed(minimum()); });
}

SizeMinimum SizeFilterDialog::minimum() const
{
    return {static_cast<std::uint32_t>(m_width->value()),
            static_cast<std::uint32_t>(m_height->value()),
            static_cast<std::uint32_t>(m_kilobytes->value())};
}

}  // namespace vel
