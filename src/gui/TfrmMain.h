#pragma once

#include <QComboBox>
#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <string>

#include "app/Operator.h"
#include "app/UpdaterState.h"
#include "gui/BoxPresenter.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;
class OrvaLog;
class SoundPlayer;
class TfrmWeb;

// The port list: a drop-down list that reports each opening before it
// drops down, so that the list can be refilled first.
class CommPortBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void dropDown();
};

// The updater's single window. It owns the updater's state and the
// diagnostic log, faces the operator for the update run (Operator) and
// saves the operator's choices when it closes.
//
// The controls, menu items and timers carry the names the rest of the
// updater refers to them by.
class TfrmMain : public QMainWindow, public Operator {
    Q_OBJECT
public:
    // arguments: the whole command line, the program's own name first.
    // boxes, sounds: null for the real message boxes and desktop sounds;
    // the window does not take ownership of ones passed in.
    explicit TfrmMain(const QStringList& arguments, BoxPresenter* boxes = nullptr, SoundPlayer* sounds = nullptr,
                      QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The feedback form, made by the program entry after the window.
    void SetWebForm(TfrmWeb* web) { web_ = web; }
    TfrmWeb* WebForm() const { return web_; }

    UpdaterState& State() { return state_; }
    const UpdaterState& State() const { return state_; }
    OrvaLog* Log() const { return log_.get(); }
    // InstrumentName + " Firmware Updater".
    std::string Caption() const;

    // The button that Enter presses when no button has the focus.
    void SetDefaultButton(QPushButton* button);
    QPushButton* DefaultButton() const { return defaultButton_; }

    // Operator.
    void TellUser(const std::string& message, const std::string& title, std::uint8_t kind) override;
    bool AskOkCancel(const std::string& message, const std::string& title) override;
    void ShowStatus(const std::string& text) override;
    void HideStatus() override;
    void SetProgress(int position) override;
    int Progress() const override;
    bool UpdateProgress(unsigned total, unsigned done, int phase, char event) override;
    void PlayBeep(MessageBeep beep) override;
    void PumpMessages() override;

    // The calibration notice after an update of kinds 7, 8 and 9.
    void ShowPostUpdateNotice(int kind);

    // Controls.
    QLabel* Image1 = nullptr;
    QLabel* userText1 = nullptr;
    QLabel* userText2 = nullptr;
    QLabel* lblConnect = nullptr;
    QLabel* commLabel = nullptr;
    CommPortBox* cbCommPort = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* statusText = nullptr;
    QProgressBar* statusBar = nullptr;
    QLabel* newSN = nullptr;
    QLineEdit* newSNstr = nullptr;
    QPushButton* btnClose = nullptr;
    QPushButton* btnStart = nullptr;

    // Menus.
    QMenu* File1 = nullptr;
    QMenu* Settings1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* OpenFirmwareFile1 = nullptr;
    QAction* UpdateFirmware1 = nullptr;
    QAction* DumpFirmwareImage1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* VerboseErrorFile1 = nullptr;
    QAction* ForceFindAllCommPorts1 = nullptr;
    QAction* DontEraseData1 = nullptr;
    QAction* PromptforSerialNumber1 = nullptr;
    QAction* Help2 = nullptr;
    QAction* SendFeedback1 = nullptr;
    QAction* CheckforUpdates1 = nullptr;
    QAction* About1 = nullptr;

    // Timers; each handler first stops its own timer, so each fires once
    // per start.
    QTimer* timerEraseWarn = nullptr;          // 500 ms
    QTimer* timerStart = nullptr;              // 100 ms
    QTimer* timerConstructorErrors = nullptr;  // 100 ms
    QTimer* tWebCheck = nullptr;               // 500 ms

public slots:
    void btnStartClick();
    void btnCloseClick();
    void StartUpdate();
    void ConfirmQuit();

    void OpenFirmwareFile1Click();
    void DumpFirmwareImage1Click();
    void Help2Click();
    void About1Click();
    void ForceFindAllCommPorts1Click();
    void PromptforSerialNumber1Click();
    void DontEraseData1Click();
    void SendFeedback1Click();
    void CheckforUpdates1Click();

    void cbCommPortDropDown();
    void cbCommPortChange(int index);

    void timerEraseWarnTimer();
    void timerStartTimer();
    void timerConstructorErrorsTimer();
    void tWebCheckTimer();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void BuildMenus();
    void BuildTimers();
    void CentreOnScreen();

    // Start-up, once, when the window is first shown.
    void FormShow();
    // The protocol objects, the port list and the firmware title.
    void CreateStartupObjects();
    // Saves the settings; runs for every close that is carried out.
    void FormClose();

    // The quit guard: false, after telling the operator, while a run is
    // active; otherwise stops any transfer and allows the close.
    bool QuitGuardAllowsClose();
    // Closes the window without asking the quit guard again.
    void CloseWithoutGuard();

    BoxAnswer ShowSystemBox(const std::string& message, const std::string& title, BoxButtons buttons);

    QStringList arguments_;
    std::unique_ptr<BoxPresenter> ownBoxes_;
    std::unique_ptr<SoundPlayer> ownSounds_;
    BoxPresenter* boxes_ = nullptr;
    SoundPlayer* sounds_ = nullptr;
    TfrmWeb* web_ = nullptr;

    UpdaterState state_;
    std::unique_ptr<OrvaLog> log_;
    QPushButton* defaultButton_ = nullptr;
    bool startedUp_ = false;
    bool closeApproved_ = false;
};
