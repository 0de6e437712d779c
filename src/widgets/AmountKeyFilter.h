#pragma once

#include <QObject>

class QLineEdit;

namespace obs {

// Amount keys: in an amount box only backspace, the digits, the comma and the full stop pass,
// and a full stop becomes a comma. Only typed characters are filtered: Tab, arrows, Delete,
// Home, End and shortcuts keep working.
class AmountKeyFilter : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        Amount, // digits, comma, full stop (turned into a comma)
        NoQuote // any character but the double quote
    };
    explicit AmountKeyFilter(Mode mode, QObject* parent = nullptr) : QObject(parent), m_mode(mode) {}

    static void install(QLineEdit* box, Mode mode = Mode::Amount);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Mode m_mode;
};

} // namespace obs
