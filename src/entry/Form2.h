#pragma once

#include "app/Screen.h"

namespace obs {

class Form2 : public Screen {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);
};

} // namespace obs
