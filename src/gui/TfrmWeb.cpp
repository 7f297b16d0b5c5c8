#include "gui/TfrmWeb.h"

TfrmWeb::TfrmWeb(QWidget* mainWindow) : QWidget(mainWindow, Qt::Window)
{
    setObjectName("frmWeb");
    setWindowTitle("Send Feedback to Halvorn");
    // A single border with only the system menu.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
}
