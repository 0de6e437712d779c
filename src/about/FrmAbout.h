#pragma once

#include "app/Screen.h"

namespace obs {

class FrmAbout : public Screen {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget* parent = nullptr);
};

} // namespace obs
