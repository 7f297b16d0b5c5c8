#pragma once

#include <QWidget>

// The feedback form. Created at start-up beside the main window and shown,
// not modally, from Help > "Send Feedback to Halvorn...". For now an empty
// form: the fields, the feedback request and the version-check request are
// added with the online services.
class TfrmWeb : public QWidget {
    Q_OBJECT
public:
    // mainWindow: the window the form is centred on; it owns the form.
    explicit TfrmWeb(QWidget* mainWindow = nullptr);
};
