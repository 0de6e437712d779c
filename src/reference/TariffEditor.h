#pragma once

#include "widgets/Screen.h"

#include <QList>
#include <memory>

class QLabel;
class QLineEdit;

namespace Ui {
class TariffEditor;
}

namespace obs {

// The tariff editor. The navigator keeps one, which the reference lists editor and the act entry
// screen share: they ask for it with a signal.
class TariffEditor : public Screen {
    Q_OBJECT
public:
    explicit TariffEditor(QWidget* parent = nullptr);
    ~TariffEditor() override;

    // The 44 box texts in the file's order.
    QStringList values() const;
    // Typing not yet written to the file.
    bool hasUnsavedChange() const { return values() != m_saved; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    void load();
    void save();
    // Writes the file from the boxes; false once a message said why not.
    bool write();

    std::unique_ptr<Ui::TariffEditor> m_ui;
    QList<QLineEdit*> m_boxes; // in the file's order
    QLabel* m_lblCsMcs = nullptr;
    QLabel* m_lblCMcsMpc = nullptr;
    QStringList m_saved; // the box texts as read or last written
};

} // namespace obs
