#pragma once

#include "app/Screen.h"

namespace obs {

class Form21 : public Screen {
    Q_OBJECT
public:
    explicit Form21(QWidget* parent = nullptr);
};

} // namespace obs
