#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "gui/BoxPresenter.h"

namespace {

// Runs check on the box once it is open; check closes it.
BoxAnswer PresentAndHandle(const BoxRequest& request, const std::function<void(QMessageBox*)>& check)
{
    QWidget owner;
    owner.resize(200, 100);
    owner.show();
    bool handled = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || handled) return;
        handled = true;
        check(box);
    });
    poll.start(10);
    QtBoxPresenter presenter;
    const BoxAnswer answer = presenter.Present(&owner, request);
    EXPECT_TRUE(handled);
    return answer;
}

}  // namespace

TEST(QtBoxPresenter, OkBoxShowsTextTitleAndIconAndStaysOnTop)
{
    BoxRequest request;
    request.title = "Connection Error";
    request.text = "Line one\nLine <b>two</b>";
    request.icon = BoxIcon::Error;
    request.stayOnTop = true;
    const BoxAnswer answer = PresentAndHandle(request, [](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Connection Error");
        EXPECT_EQ(box->text(), "Line one\nLine <b>two</b>");
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Ok));
        EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
        box->defaultButton()->click();
    });
    EXPECT_EQ(answer, BoxAnswer::Ok);
}

TEST(QtBoxPresenter, QuestionAnswersCancelOrOk)
{
    BoxRequest request;
    request.title = "Newer Firmware";
    request.text = "Sure?";
    request.icon = BoxIcon::Warning;
    request.buttons = BoxButtons::OkCancel;
    for (QMessageBox::StandardButton pressed : {QMessageBox::Cancel, QMessageBox::Ok}) {
        const BoxAnswer answer = PresentAndHandle(request, [&](QMessageBox* box) {
            EXPECT_EQ(box->icon(), QMessageBox::Warning);
            EXPECT_EQ(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Ok));
            EXPECT_FALSE(box->windowFlags() & Qt::WindowStaysOnTopHint);
            box->button(pressed)->click();
        });
        EXPECT_EQ(answer, pressed == QMessageBox::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel);
    }
}
