#pragma once

#include <QObject>
#include <QValidator>

class QLineEdit;

namespace obs {

// Amount keys: in an amount box only backspace, the digits, the comma and the full stop pass,
// and a full stop becomes a comma. Only typed characters are filtered: Tab, arrows, Delete,
// Home, End and shortcuts keep working.
class AmountKeyFilter : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        Cents,  // money: as Amount, and no more than two decimals, typed or pasted
        Amount, // digits, comma, full stop (turned into a comma)
        NoQuote // any character but the double quote
    };
    explicit AmountKeyFilter(Mode mode, QObject* parent = nullptr) : QObject(parent), m_mode(mode) {}

    static void install(QLineEdit* box, Mode mode = Mode::Cents);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Mode m_mode;
};

// Money to the cent: a text with a third decimal is not taken, typed or pasted (a full stop
// becomes a comma). A figure put in the box by the program (an older
// register's price) is shown as it is and may be shortened.
class CentsValidator : public QValidator {
    Q_OBJECT
public:
    explicit CentsValidator(QObject* parent) : QValidator(parent) {}
    State validate(QString& input, int& pos) const override;
};

} // namespace obs
