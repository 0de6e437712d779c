#include "Form8.h"

namespace obs {

Form8::Form8(QWidget* parent) : Screen(QStringLiteral("Form8"), parent)
{
    setWindowTitle(QStringLiteral("Items mémorisés"));
}

} // namespace obs
