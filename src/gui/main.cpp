// OrvaBSL_WinGUI: the updater's window.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "gui/QtMessagePump.h"
#include "gui/TfrmMain.h"
#include "gui/TfrmWeb.h"

namespace {

void ShowException(const char* what)
{
    QMessageBox::critical(nullptr, QApplication::applicationName(), QString::fromLocal8Bit(what));
}

// Shows an exception that escapes an event handler and carries on with the
// next event, instead of ending the updater in the middle of an update.
class OrvaApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowException(e.what());
        } catch (...) {
            ShowException("Unknown exception");
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    OrvaApplication app(argc, argv);
    QApplication::setApplicationName("OrvaBSL");
    QtMessagePump pump;
    ScopedPump scopedPump(&pump);
    try {
        TfrmMain frmMain(QApplication::arguments());
        TfrmWeb frmWeb(&frmMain);
        frmMain.SetWebForm(&frmWeb);
        frmMain.show();
        app.exec();
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException("Unknown exception");
    }
    return 0;
}
