#include "Form10.h"

namespace obs {

Form10::Form10(QWidget* parent) : Screen(QStringLiteral("Form10"), parent)
{
    setWindowTitle(QStringLiteral("Recherches et reversements"));
}

} // namespace obs
