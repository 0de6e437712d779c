#pragma once

#include "app/Screen.h"

namespace obs {

class Form8 : public Screen {
    Q_OBJECT
public:
    explicit Form8(QWidget* parent = nullptr);
};

} // namespace obs
