#include "FrmAbout.h"

namespace obs {

FrmAbout::FrmAbout(QWidget* parent) : Screen(QStringLiteral("frmAbout"), parent)
{
    setWindowTitle(QStringLiteral("À propos de OBSLEDGER"));
}

} // namespace obs
