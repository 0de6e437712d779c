#pragma once

#include "app/Screen.h"

namespace obs {

class Form20 : public Screen {
    Q_OBJECT
public:
    explicit Form20(QWidget* parent = nullptr);
};

} // namespace obs
