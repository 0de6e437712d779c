#pragma once

#include "app/Screen.h"

namespace obs {

// The tariff editor. There is one: the reference lists editor and the act entry screen share it.
class Form20 : public Screen {
    Q_OBJECT
public:
    explicit Form20(QWidget* parent = nullptr);

    // Opens the one editor, or brings it forward without reading the file again.
    static Form20* open();
    // Closes it without saving, if it is open.
    static void closeShared();
};

} // namespace obs
