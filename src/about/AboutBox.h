#pragma once

#include "widgets/Screen.h"

#include <memory>

namespace Ui {
class AboutBox;
}

namespace obs {

// The about box: which application and which version runs, and who made it. Opened beside the
// main window, centred on the screen; its only button closes it.
class AboutBox : public Screen {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
    ~AboutBox() override;

    // The application's identity shown in the box.
    static QString applicationTitle();
    static QString versionText(); // "Version 2.0.0"

private:
    std::unique_ptr<Ui::AboutBox> m_ui;
};

} // namespace obs
