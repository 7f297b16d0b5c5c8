#include "gui/BoxPresenter.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

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

// Texts are broken into lines by their authors: let the box grow wide enough
// for the longest line, up to five eighths of the screen, before the toolkit
// wraps lines on its own.
void FitTextWidth(QMessageBox& box, const QString& text)
{
    QLabel* label = box.findChild<QLabel*>("qt_msgbox_label");
    if (!label) return;
    int widest = 0;
    for (const QString& line : text.split('\n'))
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
    const QScreen* screen = box.screen();
    const int limit = screen ? screen->availableGeometry().width() * 5 / 8 : 800;
    label->setMinimumWidth(std::min(widest + 4, limit));
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
    FitTextWidth(box, request.text);
    const int answer = box.exec();
    if (answer == QMessageBox::Ok) return BoxAnswer::Ok;
    if (answer == QMessageBox::Cancel) return BoxAnswer::Cancel;
    return BoxAnswer::NotShown;
}
