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

// The tariff editor. There is one: the reference lists editor and the act entry screen share it.
class TariffEditor : public Screen {
    Q_OBJECT
public:
    explicit TariffEditor(QWidget* parent = nullptr);
    ~TariffEditor() override;

    // Opens the one editor, or brings it forward without reading the file again.
    static TariffEditor* open();
    // Closes it, if it is open, asking first about unsaved typing; false when the user stays.
    static bool closeShared();

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
