#include "gui/app/about_box.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "gui/common/window_placement.h"

namespace vel {

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent)
    , m_okButton(new QPushButton(QStringLiteral("OK"), this))
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFixedSize(289, 105);
    setModal(false);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);
    panel->setGeometry(8, 8, 273, 57);

    auto* version = new QLabel(QStringLiteral("VEL version 1.0"), panel);
    version->setObjectName(QStringLiteral("ProductName"));
    version->setGeometry(8, 6, 257, 15);
    auto* maker = new QLabel(QStringLiteral("VEL project"), panel);
    maker->setObjectName(QStringLiteral("Copyright"));
    maker->setGeometry(8, 22, 257, 15);
    auto* contact =
        new QLabel(QStringLiteral("不具合はプロジェクトの課題一覧へお寄せ下さい"), panel);
    contact->setObjectName(QStringLiteral("Comments"));
    contact->setGeometry(8, 38, 257, 15);

    m_okButton->setObjectName(QStringLiteral("OKButton"));
    m_okButton->setGeometry(107, 72, 75, 25);
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &AboutBox::onOkClicked);

    centreOnScreen(this);
}

void AboutBox::onOkClicked()
{
    hide();
}

}  // namespace vel
