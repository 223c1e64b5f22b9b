#pragma once

#include <QImage>
#include <QMainWindow>
#include <memory>

namespace Ui {
class Kalorix;
}
class DataConverter;

// The main window: owns the converter, the controller and one instance of every
// dialog and worker, created in a fixed order in the constructor.
class Kalorix : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kVersion = "2.1.3";

    Kalorix(int argc, char** argv, QWidget* parent = nullptr);
    ~Kalorix() override;

    DataConverter* converter() const { return dataConverter; }
    void insertCustomLogo();

    // ---- Viewer, menus, controller wiring (window) --------------------------

    // ---- Picture export, export driver, command line -------------------------

private:
    // ---- Viewer, menus, controller wiring (window): private ----------------

    // ---- Picture export, export driver, command line: private ----------------

    std::unique_ptr<Ui::Kalorix> ui;
    DataConverter* dataConverter = nullptr; // child of the window
    QImage displayImage;
    QImage daylightImage;
    float tLinearResolution = 0.04f; // kelvin per raw count
};
