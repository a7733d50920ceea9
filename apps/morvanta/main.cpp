// morvanta: the desktop program.
#include <QApplication>

#include "app/U_Startup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return RunMorvanta();
}
