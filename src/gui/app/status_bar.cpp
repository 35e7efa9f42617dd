#include "gui/app/status_bar.h"

#include <QLabel>
#include <QProgressBar>

namespace vel {

StatusBar::StatusBar(QWidget* parent)
    : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar1"));
    setAccessibleName(QStringLiteral("ステータスバー"));
    setFixedHeight(kHeight);
    setSizeGripEnabled(false);

    m_text = new QLabel(QStringLiteral("待機中"), this);
    m_text->setObjectName(QStringLiteral("StatusPanel0"));
    // The label's text is its accessible name, so screen readers read the status
    // itself; a fixed name would replace it.
    m_text->setAccessibleDescription(QStringLiteral("状態"));
    addWidget(m_text, 1);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setAccessibleName(QStringLiteral("進行状況"));
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFixedSize(209, 19);
    addPermanentWidget(m_progress);
}

void StatusBar::setText(const QString& text)
{
    m_text->setText(text);
}

QString StatusBar::text() const
{
    return m_text->text();
}

}  // namespace vel
