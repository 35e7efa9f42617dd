#include "gui/settings/extension_list_dialog.h"

#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>

#include "core/settings/extension_list_file.h"
#include "gui/common/default_buttons.h"
#include "gui/common/message_box.h"
#include "gui/common/push_button.h"
#include "gui/common/qt_text.h"
#include "gui/common/ui_font.h"
#include "gui/common/window_placement.h"
#include "gui/settings/extension_chooser.h"

namespace vel {

ExtensionListDialog::ExtensionListDialog(QComboBox* chooser, std::filesystem::path programDirectory,
                                         WorkingFolder& workingFolder, QWidget* parent)
    : QDialog(parent)
    , m_chooser(chooser)
    , m_programDirectory(std::move(programDirectory))
    , m_workingFolder(workingFolder)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("拡張子の追加と削除"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
    setModal(false);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(uiFont());
    // Controls without a hint of their own show the dialog's.
    setToolTip(QStringLiteral("追加と削除が終了したらＯＫをクリックして下さい"));
    setToolTipDuration(kHintMilliseconds);
    createControls();
    // Enter adds the typed entry; Esc deletes the selected one.
    m_defaultButtons = new DefaultButtons(m_addButton, m_deleteButton, this);
    m_defaultButtons->watchChildrenOf(this);
    m_defaultButtons->watch(this);
    m_extensionList->installEventFilter(this);
    connectButtons();
    centreOnScreen(this);
}

void ExtensionListDialog::createControls()
{
    auto* prompt = new QLabel(QStringLiteral("拡張子の追加と削除を行ってください"), this);
    prompt->setObjectName(QStringLiteral("Label1"));
    prompt->setGeometry(4, 8, 186, prompt->sizeHint().height());

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setGeometry(8, 32, 177, 145);

    m_extensionEdit = new QLineEdit(panel);
    m_extensionEdit->setObjectName(QStringLiteral("Edit1"));
    m_extensionEdit->setGeometry(8, 8, 57, 20);
    m_extensionEdit->setAccessibleName(QStringLiteral("追加する拡張子"));
    m_addButton =
        makePushButton(panel, "tuika", QStringLiteral("追加"), {}, nullptr, {7, 34, 57, 23});
    m_addButton->setDefault(true);
    m_extensionList = new QListWidget(panel);
    m_extensionList->setObjectName(QStringLiteral("ListBox1"));
    m_extensionList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_extensionList->setGeometry(72, 8, 96, 97);
    m_extensionList->setAccessibleName(QStringLiteral("拡張子"));
    m_deleteButton = makePushButton(panel, "sakuzyo", QStringLiteral("選択項目の削除"), {}, nullptr,
                                    {73, 112, 96, 25});
    auto* image = new QLabel(panel);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(8, 96, 49, 41);
    image->setAlignment(Qt::AlignCenter);
    image->setPixmap(QIcon::fromTheme(QStringLiteral("document-properties")).pixmap(32, 32));

    m_okButton = makePushButton(this, "ok", QStringLiteral("OK"), {}, nullptr, {8, 184, 89, 25});
    m_cancelButton = makePushButton(this, "cancel", QStringLiteral("キャンセル"), {}, nullptr,
                                    {96, 184, 89, 25});
}

void ExtensionListDialog::connectButtons()
{
    connect(m_addButton, &QPushButton::clicked, this, &ExtensionListDialog::onAddClicked);
    connect(m_deleteButton, &QPushButton::clicked, this, &ExtensionListDialog::onDeleteClicked);
    connect(m_okButton, &QPushButton::clicked, this, &ExtensionListDialog::onOkClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &ExtensionListDialog::onCancelClicked);
    connect(m_extensionList, &QListWidget::itemSelectionChanged, this,
            &ExtensionListDialog::onListSelectionChanged);
}

void ExtensionListDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window system's restore is no new showing.
    if (event->spontaneous())
        return;
    reloadFromChooser();
    // A file bigger than VEL reads was loaded only in part: OK must not cut
    // it to that part. Said once per showing, after the dialog is up.
    m_keepsFile = extensionListTooLarge(m_programDirectory);
    if (m_keepsFile) {
        QMetaObject::invokeMethod(
            this, [this] { showMessage(this, fromUtf8(kExtensionListTooLargeMessage)); },
            Qt::QueuedConnection);
    }
}

bool ExtensionListDialog::eventFilter(QObject* watched, QEvent* event)
{
    // The list box still handles every key itself.
    if (watched == m_extensionList && event->type() == QEvent::KeyPress)
        onListKeyPressed(static_cast<QKeyEvent*>(event)->key());
    return QDialog::eventFilter(watched, event);
}

void ExtensionListDialog::reloadFromChooser()
{
    m_editor.reload(m_chooser ? extensionChooserItems(m_chooser) : std::vector<std::string>());
    showWorkingList();
}

void ExtensionListDialog::onAddClicked()
{
    const ExtensionListEditor::AddResult result =
        m_editor.add(fromQString(m_extensionEdit->text()));
    if (result == ExtensionListEditor::AddResult::Duplicate)
        showMessage(this, fromUtf8(kDuplicateExtensionMessage));
    else
        showWorkingList();
    m_extensionEdit->clear();
}

void ExtensionListDialog::onDeleteClicked()
{
    if (m_editor.deleteSelected())
        showWorkingList();
}

void ExtensionListDialog::onListKeyPressed(int key)
{
    if (key == Qt::Key_Delete)
        onDeleteClicked();
}

void ExtensionListDialog::onOkClicked()
{
    const ChooserContents contents = chooserContents(m_editor.items());
    if (m_chooser)
        fillExtensionChooser(m_chooser, contents.items, contents.selectedIndex);
    // With a file too large to rewrite the chooser changes for this run only.
    if (!m_keepsFile)
        saveExtensionList();
    hide();
}

void ExtensionListDialog::onCancelClicked()
{
    hide();
}

void ExtensionListDialog::saveExtensionList()
{
    // Later files (the start page, the download folder) follow the extension
    // list into the program's directory, as long as that directory is there.
    std::error_code error;
    if (std::filesystem::is_directory(m_programDirectory, error))
        m_workingFolder.moveTo(m_programDirectory);
    vel::saveExtensionList(m_editor.items(), m_programDirectory);
}

void ExtensionListDialog::showWorkingList()
{
    const QSignalBlocker blocker(m_extensionList);
    m_extensionList->clear();
    for (const std::string& item : m_editor.items())
        m_extensionList->addItem(toQString(item));
    if (m_editor.selectedIndex() >= 0)
        m_extensionList->setCurrentRow(m_editor.selectedIndex());
}

void ExtensionListDialog::onListSelectionChanged()
{
    const QList<QListWidgetItem*> selected = m_extensionList->selectedItems();
    m_editor.setSelectedIndex(selected.isEmpty() ? -1 : m_extensionList->row(selected.first()));
}

}  // namespace vel
