#pragma once

#include "store/BrowsedResult.h"
#include "store/Records.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace Ui {
class MainWindow;
}

namespace obs {

class ActEntryWindow;
class BrowsedResult;
class SharedDatabase;
class ReferenceListsEditor;
class SearchWindow;
struct SearchState;
class BackupWindow;
class AboutBox;
class Screen;

// The main window: shows one act record at a time, finds a patient by surname as the user types,
// steps through the records, saves corrections and payments, deletes, and opens every other screen.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // The database the screens share and the result the record buttons follow live as long as the
    // window; the screens it opens are handed them.
    MainWindow(SharedDatabase& database, BrowsedResult& browsed, QWidget* parent = nullptr);
    ~MainWindow() override;

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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    void searchTextChanged(const QString& text);
    void searchByName(const QString& text);
    using Move = BrowsedResult::Move;
    void moveRecord(Move move);
    // Before the act shown is left: asks whether to save unsaved typing; true to go on (saved or
    // dropped), false to stay with the typing kept.
    bool settleUnsaved();
    void recomputeTotalFromBoxes();
    // The texts of the act's boxes, as the save reads them.
    QStringList boxTexts() const;
    // Shows whether the boxes differ from the act as shown (or as last saved).
    void updateUnsavedMark();
    void save();
    // Writes the boxes into the act shown; false (and said why) when nothing was written.
    bool writeRecord();
    void remove();
    template <class T>
    void openScreen(QPointer<T>& slot, const std::type_identity_t<std::function<T*()>>& make, bool hideMain = true);
    SearchWindow* makeSearchWindow();
    void openBackup();
    void screenClosed();
    // Shows the window again after another screen.
    void comeBack();
    // The base may have been replaced behind the window (a restore): the act shown is read again.
    void refreshAfterBackup();

    std::unique_ptr<Ui::MainWindow> m_ui;
    QLabel* m_label12 = nullptr;
    QLabel* m_lblNumero = nullptr;
    QLineEdit* m_txtNom = nullptr;
    QLineEdit* m_txtPrenom = nullptr;
    QLineEdit* m_txtDate = nullptr;
    QLineEdit* m_txtActe = nullptr;
    QLineEdit* m_txtCotation = nullptr;
    QListWidget* m_lstActes = nullptr;
    QLineEdit* m_txtOp = nullptr;
    QLineEdit* m_txtEuros = nullptr;
    QLineEdit* m_txtDE = nullptr;
    QLabel* m_lblTotal = nullptr;
    QLabel* m_lblTotalF = nullptr;
    QLineEdit* m_txtPrat1 = nullptr;
    QLineEdit* m_txtPrat2 = nullptr;
    QLineEdit* m_txtPSecu = nullptr;
    QLineEdit* m_txtPCompl = nullptr;
    QLineEdit* m_txtPDE = nullptr;
    QLabel* m_lblPTotal = nullptr;
    QLabel* m_lblResteDu = nullptr;
    QLabel* m_lblResteDE = nullptr;
    QLineEdit* m_text1 = nullptr;
    QPushButton* m_cmdEnreg = nullptr;
    QLabel* m_lblNonEnregistre = nullptr;

    SharedDatabase& m_database;
    // The act as read when it was shown: a save writes only if it is still so.
    std::optional<Act> m_shown;
    // The boxes' texts when the act was shown or saved: any difference is an unsaved change.
    QStringList m_shownTexts;
    PriceForm m_shownPriceForm = PriceForm::RoundedToCents;
    bool m_filling = false; // showAct is filling the boxes
    // The search box's text as last searched, put back when a keystroke is cancelled.
    QString m_searchText;
    // The search screen's criteria and found list, kept when a found act was opened from it.
    std::shared_ptr<const SearchState> m_searchKept;
    BrowsedResult& m_browsed;
    QPointer<ActEntryWindow> m_entry;
    QPointer<ReferenceListsEditor> m_reference;
    QPointer<SearchWindow> m_search;
    QPointer<BackupWindow> m_backup;
    QPointer<AboutBox> m_about;
    bool m_ending = false;
    // Where the window stood, frame included, when another screen hid it.
    QRect m_placed;
};

} // namespace obs
