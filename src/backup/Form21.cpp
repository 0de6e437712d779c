#include "Form21.h"

namespace obs {

Form21::Form21(QWidget* parent) : Screen(QStringLiteral("Form21"), parent)
{
    setWindowTitle(QStringLiteral("Sauvegardes"));
}

} // namespace obs
