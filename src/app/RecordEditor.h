#pragma once

#include "app/Navigator.h"
#include "store/BrowsedResult.h"
#include "store/Records.h"

#include <QWidget>
#include <memory>

class QLineEdit;

namespace Ui {
class RecordEditor;
}

namespace obs {

class SharedDatabase;
struct StoreChanges;

// The main window, the record editor: shows one act record at a time, finds a patient by surname
// as the user types, steps through the records, saves corrections and payments, deletes. Its
// screen buttons go to the navigator, which opens the other screens and brings this window back.
class RecordEditor : public QWidget {
    Q_OBJECT
public:
    // The database the screens share and the result the record buttons follow live as long as the
    // window; the screens the navigator opens are handed them.
    RecordEditor(SharedDatabase& database, BrowsedResult& browsed, QWidget* parent = nullptr);
    ~RecordEditor() override;

    // Opens the database as at every load; false when the program must end.
    bool load();

    // How the price shows in "Montant": the record display rounds it to the cent; an act opened
    // from the search screen shows it as stored, as that screen has always filled the box.
    enum class PriceForm { RoundedToCents, AsStored };
    // Shows an act (AFFICHE).
    void showAct(const Act& act, PriceForm priceForm = PriceForm::RoundedToCents);
    // Reads an act by number and shows it; says so when it cannot be read or is gone.
    void openAct(qint64 number);
    // Clears the record display (EFFACEFICHE).
    void clearRecord();
    // Recomputes the payments total (ADDITION).
    void recomputePayments();
    // "Reste dû" and "dont DE" of the amounts on screen, saved or not.
    void recomputeRemainder();
    // Sets "Montant Total"; the francs follow whenever it is not empty.
    void setTotalCaption(const QString& caption);

    // Typing not yet saved in the act shown.
    bool hasUnsavedChanges() const;
    // Before the act shown is left: asks whether to save unsaved typing; true to go on (saved or
    // dropped), false to stay with the typing kept.
    bool settleUnsaved();
    // The base may have been replaced behind the window (a restore): the act shown is read again.
    void refreshAfterRestore();
    // The program is ending: every window closes, nothing more is asked.
    bool isEnding() const { return m_ending; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    void searchTextChanged(const QString& text);
    void searchByName(const QString& text);
    using Move = BrowsedResult::Move;
    void moveRecord(Move move);
    void recomputeTotalFromBoxes();
    // Every box of the act, in the order their texts are compared.
    QList<QLineEdit*> recordBoxes() const;
    // The texts of the act's boxes and of the secondary acts' list.
    QStringList boxTexts() const;
    // Shows whether the boxes differ from the act as shown (or as last saved).
    void updateUnsavedMark();
    void save();
    // Writes the boxes into the act shown; false (and said why) when nothing was written.
    bool writeRecord();
    // The act a save changes: the act shown, or, for a number typed into no act, the act as
    // stored now; nothing (and said why) when there is none.
    std::optional<Act> actToChange(Store& store, qint64 number);
    // Reads every box into the act; false, with the box in fault focused and the reason said,
    // when one does not hold a value it can take. *dateTyped: the date box holds a date.
    bool readBoxes(Act* act, bool* dateTyped);
    // When and how the payments typed were received, for a save that changes `shown` into `edited`;
    // nothing (and said why, the box focused) when a payment changes and the day cannot be taken.
    // *usable false then; a save that changes no payment needs no day.
    std::optional<Receipt> readReceipt(const Act& shown, const Act& edited, bool* usable);
    // The day of receipt and the mode back to today and "Virement".
    void resetReceipt();
    // Shows the act shown as read again, the day of receipt and the mode kept as chosen.
    void showActAgain(const Act& act);
    // A save refused for another workstation's change: the act as now stored, with the boxes the
    // user changed keeping her typing, and what changed elsewhere said; the next save writes her
    // values over the act as now stored.
    void keepTypingOverStored(const Act& shown, const Act& stored);
    void openHistory();
    void remove();

    // Another workstation changed the base: the act shown is read again when it may be concerned.
    void changedElsewhere(const StoreChanges& changes);
    // Shows the act as now stored; with typing not yet saved, only says that it changed or went.
    void recheckShownAct();
    // "Recharger": the act as now stored, the typing dropped.
    void reloadShownAct();
    // The act shown is gone: the record buttons' next act (or the last) is shown in its place.
    void moveToNeighbour(const Act& gone);
    void showElsewhereNote(const QString& text, bool withReload);
    void hideElsewhereNote();

    std::unique_ptr<Ui::RecordEditor> m_ui;
    SharedDatabase& m_database;
    // The act as read when it was shown: a save writes only if it is still so.
    std::optional<Act> m_shown;
    // The boxes' texts when the act was shown or saved: any difference is an unsaved change.
    QStringList m_shownTexts;
    PriceForm m_shownPriceForm = PriceForm::RoundedToCents;
    bool m_filling = false; // showAct is filling the boxes
    // The search box's text as last searched, put back when a keystroke is cancelled.
    QString m_searchText;
    BrowsedResult& m_browsed;
    Navigator m_navigator;
    bool m_ending = false;
    bool m_recheckQueued = false;
};

} // namespace obs
