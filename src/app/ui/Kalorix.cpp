#include "app/ui/Kalorix.h"

#include "recording/DataConverter.h"
#include "ui_Kalorix.h"

#include <QFileInfo>
#include <QPixmap>

Kalorix::Kalorix(int argc, char** argv, QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::Kalorix>()) {
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    // 1. Window, form, working images, T-linear step.
    ui->setupUi(this);
    displayImage = QImage(1, 1, QImage::Format_RGB888);
    daylightImage = QImage(1, 1, QImage::Format_RGB888);
    tLinearResolution = 0.04f;

    // 2. Long-lived objects, in their fixed order.
    dataConverter = new DataConverter(this);

    // 5. Title.
    setWindowTitle(windowTitle() + QStringLiteral(" ") + QLatin1String(kVersion) +
                   QStringLiteral(" - Velmora Technology"));

    // 10. Progress bar at 0.
    ui->progressBar->setValue(0);
    ui->progressBar->setVisible(false);

    // 11. Optional logo of the operator.
    insertCustomLogo();
}

Kalorix::~Kalorix() = default;

void Kalorix::insertCustomLogo() {
    const QFileInfo logo(QStringLiteral("logo.png"));
    if (!logo.exists() || !logo.isFile())
        return;
    QPixmap pixmap;
    if (pixmap.load(logo.filePath()))
        ui->lblLogo->setPixmap(pixmap);
}
