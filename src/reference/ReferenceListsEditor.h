#pragma once

#include "store/Records.h"
#include "store/Store.h"

#include "widgets/Screen.h"

#include <array>
#include <memory>
#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace Ui {
class ReferenceListsEditor;
}

namespace obs {

class BrowsedResult;
class SharedDatabase;

// The reference lists editor: practitioners, default practitioner, mutual insurers and the two
// catalogues of acts (deliveries, surgery) with their CCAM code, tariff and the excess each
// mutual insurer reimburses. Asks for the tariff editor, which closes with it.
class ReferenceListsEditor : public Screen {
    Q_OBJECT
public:
    ReferenceListsEditor(SharedDatabase& database, BrowsedResult& browsed, QWidget* parent = nullptr);
    ~ReferenceListsEditor() override;

    // The list now chosen, none before a list button is pressed.
    std::optional<ReferenceList> currentList() const { return m_list; }
    // The label last double-clicked or taken by a deletion.
    QString rememberedItem() const { return m_remembered; }
    // Typing in the entry boxes that neither an add nor a change has saved.
    bool hasUnsavedChange() const;

signals:
    // "Tarifs Nuit Fériés": the tariff editor is wanted.
    void tariffsWanted();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    void chooseList(ReferenceList list);
    void selectEntry();
    void showEntry(const QString& label);
    // Each returns whether the change was written.
    bool add();
    bool modify();
    void remove();
    // Asks before a change of the mutual-insurer list moves insurers to other columns, then makes
    // the change with the move; false (a message shown, unless the user declined) when nothing was
    // written. *found false when the entry to change is gone.
    bool applyChange(const ReferenceChange& change, const QString& failureText, bool* found);
    // The texts of the entry boxes: what an unsaved change is measured against.
    QStringList boxTexts() const;
    void markClean() { m_clean = boxTexts(); }
    // Before typing would be dropped: saves, drops or stays as the user answers; false to stay.
    bool settleUnsavedChange();

    static bool isActList(ReferenceList list) {
        return list == ReferenceList::DeliveryActs || list == ReferenceList::SurgicalActs;
    }
    bool reopenDatabase(const QString& failureText);
    // Reads a list's labels through the shared result; nothing (and the message shown) on failure.
    std::optional<QStringList> readList(ReferenceList list, ReferenceOrder order, const QString& failureText);
    bool fillList(QListWidget* box, ReferenceList list, ReferenceOrder order, const QString& failureText);
    // The entry from the boxes; false (and the message shown) when an amount box holds a text
    // that is not an amount.
    bool entryFromBoxes(ReferenceEntry* entry);
    // What the boxes hold for the chosen list, after the checks every change shares; false once a
    // message has said what is missing.
    bool typedEntry(const QString& noItem, const QString& noList, ReferenceEntry* entry);
    Status seekStored(const QString& label, bool* matched, BrowsedRecord* record);
    void resetBoxes();
    QString mutualName(int slot) const;

    std::unique_ptr<Ui::ReferenceListsEditor> m_ui;
    QGroupBox* m_listFrame = nullptr;
    QGroupBox* m_codeFrame = nullptr;
    QGroupBox* m_insurerRatesFrame = nullptr;
    QLabel* m_actsCaption = nullptr;
    QLabel* m_help = nullptr;
    QLabel* m_lblEspion = nullptr;
    QLineEdit* m_labelBox = nullptr;
    QListWidget* m_entries = nullptr;
    QListWidget* m_insurers = nullptr;
    QLineEdit* m_txtCcam = nullptr;
    QLineEdit* m_txtTarifs = nullptr;
    std::array<QLineEdit*, 6> m_txtMut{};
    std::array<QLabel*, 6> m_lblMut{};
    QString m_remembered;
    std::optional<ReferenceList> m_list;
    // The entry as read at the last double-click: Modify writes only if it is still so.
    std::optional<ReferenceEntry> m_shown;
    QStringList m_clean;
    SharedDatabase& m_database;
    BrowsedResult& m_browsed;
};

} // namespace obs
