#include "gui/BoxPresenter.h"

#include <QMessageBox>
#include <QPushButton>

#include "app/Operator.h"

BoxIcon IconForKind(std::uint8_t kind)
{
    switch (kind) {
        case kMessageWarning:
            return BoxIcon::Warning;
        case kMessageError:
            return BoxIcon::Error;
        case kMessageInformation:
            return BoxIcon::Information;
        case kMessageConfirmation:
            return BoxIcon::Question;
        default:
            return BoxIcon::None;
    }
}

namespace {

QMessageBox::Icon ToQtIcon(BoxIcon icon)
{
    switch (icon) {
        case BoxIcon::Warning:
            return QMessageBox::Warning;
        case BoxIcon::Error:
            return QMessageBox::Critical;
        case BoxIcon::Information:
            return QMessageBox::Information;
        case BoxIcon::Question:
            return QMessageBox::Question;
        case BoxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

BoxAnswer QtBoxPresenter::Present(QWidget* owner, const BoxRequest& request)
{
    QMessageBox box(owner);
    box.setWindowTitle(request.title);
    box.setTextFormat(Qt::PlainText);
    box.setText(request.text);
    box.setIcon(ToQtIcon(request.icon));
    if (request.buttons == BoxButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    box.setDefaultButton(QMessageBox::Ok);
    if (request.stayOnTop) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    const int answer = box.exec();
    if (answer == QMessageBox::Ok) return BoxAnswer::Ok;
    if (answer == QMessageBox::Cancel) return BoxAnswer::Cancel;
    return BoxAnswer::NotShown;
}
