#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

namespace vel::test {

// Answers every message box that opens while it lives: records its text and
// presses its default button, so handlers that show a box run to their end.
class ModalWatcher final : public QObject {
    Q_OBJECT

public:
    explicit ModalWatcher(QObject* parent = nullptr);

    const QStringList& texts() const { return m_texts; }
    void clear() { m_texts.clear(); }

private:
    void poll();

    QTimer m_timer;
    QStringList m_texts;
};

}  // namespace vel::test
