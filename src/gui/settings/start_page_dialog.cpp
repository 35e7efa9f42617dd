#include "gui/settings/start_page_dialog.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "gui/common/default_buttons.h"
#include "gui/common/window_placement.h"
#include "core/settings/start_page_file.h"
#include "gui/common/qt_text.h"

namespace vel {

namespace {

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption,
                        QRect geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    // Enter on a focused button presses that button.
    button->setAutoDefault(true);
    return button;
}

}  // namespace

StartPageDialog::StartPageDialog(std::function<std::string()> topPageUrl,
                         std::function<QString()> urlBoxText, QWidget* parent)
    : QDialog(parent)
    , m_topPageUrl(std::move(topPageUrl))
    , m_urlBoxText(std::move(urlBoxText))
{
    setObjectName(QStringLiteral("toppageForm"));
    setWindowTitle(QStringLiteral("トップページの設定"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setModal(false);
    setFixedSize(kClientWidth, kClientHeight);

    // Created first so that it lies behind the controls it frames.
    auto* bevel1 = new QFrame(this);
    bevel1->setObjectName(QStringLiteral("Bevel1"));
    bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel1->setGeometry(8, 8, 297, 113);

    auto* label1 = new QLabel(QStringLiteral("VEL起動時に表示されるホームページを設定してください"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(13, 24, 286, label1->sizeHint().height());

    m_button1 = makeButton(this, QStringLiteral("Button1"), QStringLiteral("現在のページに設定"),
                           {128, 48, 161, 25});
    m_edit1 = new QLineEdit(this);
    m_edit1->setObjectName(QStringLiteral("Edit1"));
    m_edit1->setGeometry(16, 88, 273, 20);
    m_edit1->setAccessibleName(QStringLiteral("トップページのURL"));
    m_okBtn = makeButton(this, QStringLiteral("OKBtn"), QStringLiteral("OK"), {79, 132, 75, 25});
    m_okBtn->setDefault(true);
    m_cancelBtn = makeButton(this, QStringLiteral("CancelBtn"), QStringLiteral("キャンセル"),
                             {167, 132, 75, 25});

    m_defaultButtons = new DefaultButtons(m_okBtn, m_cancelBtn, this);
    m_defaultButtons->watchChildrenOf(this);
    m_defaultButtons->watch(this);

    connect(m_button1, &QPushButton::clicked, this, &StartPageDialog::Button1Click);
    connect(m_okBtn, &QPushButton::clicked, this, &StartPageDialog::OKBtnClick);
    connect(m_cancelBtn, &QPushButton::clicked, this, &StartPageDialog::CancelBtnClick);

    centreOnScreen(this);
}

void StartPageDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window system's restore is no new showing.
    if (!event->spontaneous())
        FormShow();
}

void StartPageDialog::FormShow()
{
    m_edit1->setText(m_topPageUrl ? toQString(m_topPageUrl()) : QString());
}

void StartPageDialog::Button1Click()
{
    if (m_urlBoxText)
        m_edit1->setText(m_urlBoxText());
}

void StartPageDialog::OKBtnClick()
{
    // The file goes wherever is current now, which need not be where it was
    // read at start-up.
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (!error)
        writeStartPage(current, fromQString(m_edit1->text()));
    hide();
}

void StartPageDialog::CancelBtnClick()
{
    hide();
}

}  // namespace vel
