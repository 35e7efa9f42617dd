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
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>

#include "gui/common/default_buttons.h"
#include "gui/common/ui_font.h"
#include "gui/common/window_placement.h"
#include "gui/settings/extension_chooser.h"
#include "core/settings/extension_list_file.h"
#include "gui/common/qt_text.h"

namespace vel {

namespace {

constexpr int kHintMilliseconds = 10000;

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

std::filesystem::path absoluteOrAsGiven(std::filesystem::path directory)
{
    // Later changes of the current directory must not move the target.
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(directory, error);
    return error ? directory : absolute;
}

}  // namespace

ExtensionListDialog::ExtensionListDialog(QComboBox* chooser, std::filesystem::path programDirectory, QWidget* parent)
    : QDialog(parent)
    , m_chooser(chooser)
    , m_programDirectory(absoluteOrAsGiven(std::move(programDirectory)))
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

    auto* label1 = new QLabel(QStringLiteral("拡張子の追加と削除を行ってください"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(4, 8, 186, label1->sizeHint().height());

    auto* panel1 = new QFrame(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel1->setGeometry(8, 32, 177, 145);

    m_edit1 = new QLineEdit(panel1);
    m_edit1->setObjectName(QStringLiteral("Edit1"));
    m_edit1->setGeometry(8, 8, 57, 20);
    m_edit1->setAccessibleName(QStringLiteral("追加する拡張子"));
    m_tuika = makeButton(panel1, QStringLiteral("tuika"), QStringLiteral("追加"), {7, 34, 57, 23});
    m_tuika->setDefault(true);
    m_listBox1 = new QListWidget(panel1);
    m_listBox1->setObjectName(QStringLiteral("ListBox1"));
    m_listBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listBox1->setGeometry(72, 8, 96, 97);
    m_listBox1->setAccessibleName(QStringLiteral("拡張子"));
    m_sakuzyo = makeButton(panel1, QStringLiteral("sakuzyo"), QStringLiteral("選択項目の削除"),
                           {73, 112, 96, 25});
    auto* image1 = new QLabel(panel1);
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setGeometry(8, 96, 49, 41);
    image1->setAlignment(Qt::AlignCenter);
    image1->setPixmap(QIcon::fromTheme(QStringLiteral("document-properties")).pixmap(32, 32));

    m_ok = makeButton(this, QStringLiteral("ok"), QStringLiteral("OK"), {8, 184, 89, 25});
    m_cancel = makeButton(this, QStringLiteral("cancel"), QStringLiteral("キャンセル"),
                          {96, 184, 89, 25});

    m_defaultButtons = new DefaultButtons(m_tuika, m_sakuzyo, this);
    m_defaultButtons->watchChildrenOf(this);
    m_defaultButtons->watch(this);
    m_listBox1->installEventFilter(this);

    connect(m_tuika, &QPushButton::clicked, this, &ExtensionListDialog::tuikaClick);
    connect(m_sakuzyo, &QPushButton::clicked, this, &ExtensionListDialog::sakuzyoClick);
    connect(m_ok, &QPushButton::clicked, this, &ExtensionListDialog::okClick);
    connect(m_cancel, &QPushButton::clicked, this, &ExtensionListDialog::cancelClick);
    connect(m_listBox1, &QListWidget::itemSelectionChanged, this, &ExtensionListDialog::listSelectionChanged);

    centreOnScreen(this);
}

void ExtensionListDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A window system's restore is no new showing.
    if (!event->spontaneous())
        FormShow();
}

bool ExtensionListDialog::eventFilter(QObject* watched, QEvent* event)
{
    // The list box still handles every key itself.
    if (watched == m_listBox1 && event->type() == QEvent::KeyPress)
        ListBox1KeyDown(static_cast<QKeyEvent*>(event)->key());
    return QDialog::eventFilter(watched, event);
}

void ExtensionListDialog::FormShow()
{
    m_editor.reload(m_chooser ? extensionChooserItems(m_chooser) : std::vector<std::string>());
    showWorkingList();
}

void ExtensionListDialog::tuikaClick()
{
    const ExtensionListEditor::AddResult result = m_editor.add(fromQString(m_edit1->text()));
    if (result == ExtensionListEditor::AddResult::Duplicate) {
        const QString text = QString::fromUtf8(kDuplicateExtensionMessage.data(),
                                               static_cast<qsizetype>(kDuplicateExtensionMessage.size()));
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("VEL"), text, QMessageBox::Ok, this);
        box.exec();
    } else {
        showWorkingList();
    }
    m_edit1->clear();
}

void ExtensionListDialog::sakuzyoClick()
{
    if (m_editor.deleteSelected())
        showWorkingList();
}

void ExtensionListDialog::ListBox1KeyDown(int key)
{
    if (key == Qt::Key_Delete)
        sakuzyoClick();
}

void ExtensionListDialog::okClick()
{
    const ChooserContents contents = chooserContents(m_editor.items());
    if (m_chooser)
        fillExtensionChooser(m_chooser, contents.items, contents.selectedIndex);
    SaveExtensionList();
    hide();
}

void ExtensionListDialog::cancelClick()
{
    hide();
}

void ExtensionListDialog::SaveExtensionList()
{
    // The program's directory stays current afterwards, so a later start page
    // OK writes there too.
    std::error_code error;
    std::filesystem::current_path(m_programDirectory, error);
    vel::SaveExtensionList(m_editor.items(), m_programDirectory);
}

void ExtensionListDialog::showWorkingList()
{
    const QSignalBlocker blocker(m_listBox1);
    m_listBox1->clear();
    for (const std::string& item : m_editor.items())
        m_listBox1->addItem(toQString(item));
    if (m_editor.selectedIndex() >= 0)
        m_listBox1->setCurrentRow(m_editor.selectedIndex());
}

void ExtensionListDialog::listSelectionChanged()
{
    const QList<QListWidgetItem*> selected = m_listBox1->selectedItems();
    m_editor.setSelectedIndex(selected.isEmpty() ? -1 : m_listBox1->row(selected.first()));
}

}  // namespace vel
