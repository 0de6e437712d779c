#include "Form20.h"

#include <QPointer>

namespace obs {

namespace {
QPointer<Form20> g_editor;
}

Form20::Form20(QWidget* parent) : Screen(QStringLiteral("form20"), parent)
{
    setWindowTitle(QStringLiteral("Tarifs habituels"));
}

Form20* Form20::open()
{
    if (!g_editor)
        g_editor = new Form20();
    g_editor->show();
    g_editor->raise();
    g_editor->activateWindow();
    return g_editor;
}

void Form20::closeShared()
{
    if (g_editor)
        g_editor->close();
}

} // namespace obs
