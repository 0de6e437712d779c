#pragma once

#include "domain/FeeComputation.h"
#include "store/Records.h"
#include "store/Store.h"
#include "widgets/Screen.h"

#include <array>
#include <memory>

class QButtonGroup;
class QCalendarWidget;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace Ui {
class ActEntryWindow;
}

namespace obs {

class BrowsedResult;
class SharedDatabase;

// The act entry screen: the user records one act for one patient, watches its fee computed at
// each choice, and saves it as a new act record; the screen then clears itself for the next act.
class ActEntryWindow : public Screen {
    Q_OBJECT
public:
    // Builds the screen and loads it: supplements, database, practitioners, acts, mutual insurers.
    ActEntryWindow(SharedDatabase& database, BrowsedResult& browsed, QWidget* parent = nullptr);
    ~ActEntryWindow() override;

    // False when a step of the load failed: the user was told and the screen closes at once.
    bool isLoaded() const { return m_loaded; }

    // Clears the entry for the next act (EFFACE).
    void clearEntry();

    // True when the entry holds something the user typed or chose for the act, beyond what
    // clearing it leaves (the practitioner in charge and the act type stay from one act to the next).
    bool hasTyping() const;

signals:
    // "Mise à jour des cotations": the tariff editor is wanted.
    void tariffsWanted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void escapePressed() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    void setTabOrder();
    void connectReactions();
    bool load();
    void loadSupplements(); // CHARGE
    bool readList(ReferenceList list, ReferenceOrder order, QStringList* texts, QString* error);
    void abandonLoad(const QString& why);
    // The reference entry of a label, read through the shared result as the record buttons see it.
    Status findEntry(const BrowseQuery& query, const QString& label, ReferenceEntry* entry, bool* matched);

    enum class ActKind { Delivery, Surgery };
    struct ActEntry {
        QString ccam;
        std::optional<Money> tariff;
    };
    void chooseActType(ActKind kind);
    void principalChosen(ActKind kind, const QString& label);
    void secondaryChosen(ActKind kind, const QString& label);
    bool findAct(ActKind kind, const QString& label, ActEntry* out);

    void supplementChosen();
    void mutualChosen(int slot);
    void recomputeTotal();
    void totalChanged(const QString& text);
    void excessChanged(const QString& text);

    void checkDate();
    // Names the public holiday or Sunday of the typed date beside the holiday supplement.
    void showHolidayHint();
    // Shows the public holidays and Sundays of the calendar's page in red.
    void markHolidays(int year, int month);
    // Checks, asks and stores the entry; true when the act was stored.
    bool save();
    void quit();

    std::unique_ptr<Ui::ActEntryWindow> m_ui;
    bool m_loaded = false;
    // The load failed: the screen closes without a question.
    bool m_leaving = false;
    FeeComputation m_fee;
    FeeComputation::Supplements m_supplements;

    QLineEdit* m_txtNom = nullptr;
    QLineEdit* m_txtPrenom = nullptr;
    QComboBox* m_cmbPrat1 = nullptr;
    QComboBox* m_cmbPrat2 = nullptr;
    QLineEdit* m_txtDate = nullptr;
    QCalendarWidget* m_monthView = nullptr;

    QRadioButton* m_optAcct = nullptr;
    QRadioButton* m_optChir = nullptr;
    QGroupBox* m_frameAcct = nullptr;
    QGroupBox* m_frameChir = nullptr;
    QComboBox* m_cmbActesAcct1 = nullptr;
    QComboBox* m_cmbActesAcct2 = nullptr;
    QComboBox* m_cmbActesChir1 = nullptr;
    QComboBox* m_cmbActesChir2 = nullptr;
    QLineEdit* m_txtCCAMA1 = nullptr;
    QLineEdit* m_txtCCAMA2 = nullptr;
    QLineEdit* m_txtCCAMC1 = nullptr;
    QLineEdit* m_txtCCAMC2 = nullptr;

    QRadioButton* m_optNo = nullptr;
    QRadioButton* m_optNuit = nullptr;
    QRadioButton* m_optFerie = nullptr;
    QLabel* m_lblNuitA = nullptr;
    QLabel* m_lblFerieA = nullptr;
    QLabel* m_lblJourFerie = nullptr;

    QListWidget* m_lstActes = nullptr;
    QLineEdit* m_txtCotation = nullptr;
    QLineEdit* m_txtCCAMAC = nullptr;
    QLineEdit* m_txtOp = nullptr;
    QLineEdit* m_txtOpE = nullptr;
    QLineEdit* m_txtEuros = nullptr;
    QLineEdit* m_txtEurosT = nullptr;
    QLabel* m_lblFrancs = nullptr;
    QLineEdit* m_txtDE = nullptr;
    QLabel* m_lblDEF = nullptr;
    std::array<QRadioButton*, 7> m_optMut{};
    QComboBox* m_cmbMut = nullptr;
    QLabel* m_guide = nullptr;

    QPushButton* m_cmdEnreg = nullptr;
    QPushButton* m_cmdQuitte = nullptr;
    QPushButton* m_cmdMaJour = nullptr;
    SharedDatabase& m_database;
    BrowsedResult& m_browsed;
};

} // namespace obs
