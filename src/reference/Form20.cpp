#include "Form20.h"

namespace obs {

Form20::Form20(QWidget* parent) : Screen(QStringLiteral("form20"), parent)
{
    setWindowTitle(QStringLiteral("Tarifs habituels"));
}

} // namespace obs
