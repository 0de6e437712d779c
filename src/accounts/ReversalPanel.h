// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Ui {
class ReversalPanel;
}

namespace obs {

class SharedDatabase;

// The reversal half of the search screen: works out what one practitioner owes another for a
// period from the rates file, and records the sums paid over.
class ReversalPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit ReversalPanel(SharedDatabase& database, QWidget* parent = nullptr);
    ~ReversalPanel() override;

    // Reads the rates file and puts today and "Virement" in the payment's date and mode; false when the file is
    // missing.
    bool loadRates();
    void setPractitioners(const QStringList& practitioners);

signals:
    // A payment or the rates were recorded: the screen's work is done.
    void finished();

private:
    void buildUi();
    void practitionerChosen();
    void computeOwed();
    void sumTyped(const QString& text);
    void recordPayment();
    // The payment's date and mode back to today and "Virement".
    void resetPayment();
    void saveRates();

    std::unique_ptr<Ui::ReversalPanel> m_ui;
    SharedDatabase& m_database;

    QLineEdit* m_txtDate3 = nullptr;
    QLineEdit* m_txtDate4 = nullptr;
    QComboBox* m_cmbPPrat1 = nullptr;
    QComboBox* m_cmbPPrat2 = nullptr;
    QPushButton* m_cmdDoit = nullptr;
    QLabel* m_reversedCaption = nullptr;
    QLabel* m_lblDejaVerse = nullptr;
    QLabel* m_actsTotalCaption = nullptr;
    QLabel* m_actsTotal = nullptr;
    QLabel* m_lblDoit = nullptr;
    QLabel* m_lblDoitF = nullptr;
    QLineEdit* m_txtTauxClin = nullptr;
    QLineEdit* m_txtTauxPrat = nullptr;
    QLabel* m_reversedTodayCaption = nullptr;
    QLineEdit* m_txtDateRev = nullptr;
    QLineEdit* m_txtSommeRev = nullptr;
    QLabel* m_lblSommeRev = nullptr;
};

} // namespace obs
