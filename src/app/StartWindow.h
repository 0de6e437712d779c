#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class StartWindow;
}

namespace obs {

// The start window: shown first, before anything is read or opened.
class StartWindow : public QWidget {
    Q_OBJECT
public:
    explicit StartWindow(QWidget* parent = nullptr);
    ~StartWindow() override;

signals:
    void accepted();  // "OK": the main window comes next
    void dismissed(); // closed by its title bar: the program ends

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::StartWindow> m_ui;
    bool m_accepted = false;
};

} // namespace obs
