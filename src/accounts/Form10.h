#pragma once

#include "app/Screen.h"

namespace obs {

class Form10 : public Screen {
    Q_OBJECT
public:
    explicit Form10(QWidget* parent = nullptr);
};

} // namespace obs
