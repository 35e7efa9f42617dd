#include "gui/settings/start_page_dialog.h"

#include <utility>

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "core/settings/start_page_file.h"
#include "gui/common/default_buttons.h"
#include "gui/common/push_button.h"
#include "gui/common/qt_text.h"
#include "gui/common/window_placement.h"

namespace vel {

StartPageDialog::StartPageDialog(std::function<std::string()> startPageUrl,
                                 std::function<QString()> urlBoxText,
                                 const WorkingFolder& workingFolder, QWidget* parent)
    : QDialog(parent)
    , m_startPageUrl(std::move(startPageUrl))
    , m_urlBoxText(std::move(urlBoxText))
    , m_workingFolder(workingFolder)
{
    setObjectName(QStringLiteral("toppageForm"));
    setWindowTitle(QStringLiteral("トップページの設定"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setModal(false);
    setFixedSize(kClientWidth, kClientHeight);

    // Created first so that it lies behind the controls it frames.
    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(8, 8, 297, 113);

    auto* prompt =
        new QLabel(QStringLiteral("VEL起動時に表示されるホームページを設定してください"), this);
    prompt->setObjectName(QStringLiteral("Label1"));
    prompt->setGeometry(13, 24, 286, prompt->sizeHint().height());

    m_useCurrentPageButton = makePushButton(this, "Button1", QStringLiteral("現在のページに設定"),
                                            {}, nullptr, {128, 48, 161, 25});
    m_urlEdit = new QLineEdit(this);
    m_urlEdit->setObjectName(QStringLiteral("Edit1"));
    m_urlEdit->setGeometry(16, 88, 273, 20);
    m_urlEdit->setAccessibleName(QStringLiteral("トップページのURL"));
    m_okButton =
        makePushButton(this, "OKBtn", QStringLiteral("OK"), {}, nullptr, {79, 132, 75, 25});
    m_okButton->setDefault(true);
    m_cancelButton = makePushButton(this, "CancelBtn", QStringLiteral("キャンセル"), {}, nullptr,
                                    {167, 132, 75, 25});

    m_defaultButtons = new DefaultButtons(m_okButton, m_cancelButton, this);
    m_defaultButtons->watchChildrenOf(this);
    m_defaultButtons->watch(this);

    connect(m_useCurrentPageButton, &QPushButton::clicked, this,
            &StartPageDialog::onUseCurrentPageClicked);
    connect(m_okButton, &QPushButton::clicked, this, &StartPageDialog::onOkClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &StartPageDialog::onCancelClicked);

    centreOnScreen(this);
}

void StartPageDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window system's restore is no new showing.
    if (!event->spontaneous())
        reloadStartPage();
}

void StartPageDialog::reloadStartPage()
{
    m_urlEdit->setText(m_startPageUrl ? toQString(m_startPageUrl()) : QString());
}

void StartPageDialog::onUseCurrentPageClicked()
{
    if (m_urlBoxText)
        m_urlEdit->setText(m_urlBoxText());
}

void StartPageDialog::onOkClicked()
{
    // The file goes to the working folder as it is now, which need not be
    // where it was read at start-up.
    writeStartPage(m_workingFolder.path(), fromQString(m_urlEdit->text()));
    hide();
}

void StartPageDialog::onCancelClicked()
{
    hide();
}

}  // namespace vel
