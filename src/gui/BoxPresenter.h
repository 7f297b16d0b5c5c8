#pragma once

#include <QString>
#include <cstdint>

class QWidget;

// The icon of a message box.
enum class BoxIcon { None, Warning, Error, Information, Question };

enum class BoxButtons { Ok, OkCancel };

// What the operator answered. NotShown when the box could not be shown.
enum class BoxAnswer { Ok, Cancel, NotShown };

// One modal message box: OK is always the default button.
struct BoxRequest {
    QString title;
    QString text;
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
    bool stayOnTop = false;  // kept above other windows
};

// The dialog type of a TellUser kind: 0 warning, 1 error, 2 information,
// 3 confirmation, anything else no icon.
BoxIcon IconForKind(std::uint8_t kind);

// Shows the main window's message boxes. The window owns a QtBoxPresenter;
// tests hand it one that records the boxes and answers as told.
class BoxPresenter {
public:
    virtual ~BoxPresenter() = default;
    // Shows the box modally, centred on owner, and returns the answer.
    virtual BoxAnswer Present(QWidget* owner, const BoxRequest& request) = 0;
};

class QtBoxPresenter : public BoxPresenter {
public:
    BoxAnswer Present(QWidget* owner, const BoxRequest& request) override;
};
