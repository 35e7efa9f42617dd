#include "gui/download/download_confirm_dialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "gui/common/window_placement.h"

namespace vel {

DownloadConfirmDialog::DownloadConfirmDialog(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
    , m_okButton(new QPushButton(QStringLiteral("OK"), this))
    , m_cancelButton(new QPushButton(QStringLiteral("キャンセル"), this))
    , m_skipExisting(new QCheckBox(QStringLiteral("既存のファイルはスキップ"), this))
    , m_skipFetched(new QCheckBox(QStringLiteral("取得済みのファイルはスキップ"), this))
{
    setObjectName(QStringLiteral("kakunin"));
    setWindowTitle(QStringLiteral("ダイアログ"));
    setModal(false);

    const struct {
        const char* name;
        QString text;
        int top;
    } lines[] = {
        {"Label1", QStringLiteral("リストに表示されているファイルを"), 8},
        {"Label2", QStringLiteral("一括ダウンロードします。"), 24},
        {"Label4", QStringLiteral("既存のファイルは上書きされます。"), 40},
        {"Label3", QStringLiteral("よろしいですか？"), 56},
    };
    int widest = 0;
    for (const auto& line : lines) {
        auto* label = new QLabel(line.text, this);
        label->setObjectName(QString::fromLatin1(line.name));
        label->move(8, line.top);
        label->adjustSize();
        widest = std::max(widest, label->width());
    }
    m_skipExisting->setObjectName(QStringLiteral("skipExisting"));
    m_skipExisting->move(8, 74);
    m_skipExisting->adjustSize();
    widest = std::max(widest, m_skipExisting->width());
    m_skipFetched->setObjectName(QStringLiteral("skipFetched"));
    m_skipFetched->move(8, 92);
    m_skipFetched->adjustSize();
    widest = std::max(widest, m_skipFetched->width());
    // The box grows when the system's font draws the question wider than the
    // box, so that no line is cut off.
    setFixedSize(std::max(184, widest + 16), 149);

    m_okButton->setObjectName(QStringLiteral("OKBtn"));
    m_okButton->setGeometry(15, 114, 75, 25);
    m_okButton->setDefault(true);
    m_cancelButton->setObjectName(QStringLiteral("CancelBtn"));
    m_cancelButton->setGeometry(95, 114, 75, 25);
    connect(m_okButton, &QPushButton::clicked, this, &DownloadConfirmDialog::onOkClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &DownloadConfirmDialog::onCancelClicked);

    centreOnScreen(this);
}

bool DownloadConfirmDialog::skipExisting() const
{
    return m_skipExisting->isChecked();
}

bool DownloadConfirmDialog::skipFetched() const
{
    return m_skipFetched->isEnabled() && m_skipFetched->isChecked();
}

void DownloadConfirmDialog::setHistoryAvailable(bool available)
{
    m_skipFetched->setEnabled(available);
}

void DownloadConfirmDialog::onOkClicked()
{
    hide();
    emit downloadConfirmed();
}

void DownloadConfirmDialog::onCancelClicked()
{
    hide();
}

void DownloadConfirmDialog::reject()
{
    // Esc and the close box hide the box like Cancel.
    onCancelClicked();
}

}  // namespace vel
