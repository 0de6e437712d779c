#include "Form2.h"

namespace obs {

Form2::Form2(QWidget* parent) : Screen(QStringLiteral("Form2"), parent)
{
    setWindowTitle(QStringLiteral("Saisie d'un acte"));
}

} // namespace obs
