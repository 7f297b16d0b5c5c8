// OrvaBSL_WinGUI: the updater's window.
#include <QApplication>
#include <QMainWindow>

#include "instrument/InstrumentKind.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("OrvaBSL");
    QMainWindow window;
    window.setWindowTitle(QString::fromUtf8(KindDisplayName(kBuildKind)) + " Firmware Updater");
    window.setFixedSize(346, 262);
    window.show();
    return app.exec();
}
