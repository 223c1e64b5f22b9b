#include "app/ui/Kalorix.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Kalorix window(argc, argv, nullptr);
    window.show();
    return app.exec();
}
