#include "gui/TfrmMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <vector>

#include "app/AppPaths.h"
#include "app/Notices.h"
#include "app/Startup.h"
#include "gui/SettingsStore.h"
#include "gui/SystemSound.h"
#include "gui/UpdaterIcon.h"
#include "instrument/InstrumentKind.h"
#include "log/OrvaLog.h"
#include "orva_version.h"

namespace {

// The client area of the window, below the menu bar.
constexpr int kClientWidth = 346;
constexpr int kClientHeight = 262;

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

void MakeBold(QWidget* widget)
{
    QFont font = widget->font();
    font.setBold(true);
    widget->setFont(font);
}

// Keeps the place of a control that starts hidden, so that showing it later
// does not move its neighbours.
void KeepPlaceWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

bool KindWarnsErase()
{
    return KindRow(kBuildKind).warnsErase != 0;
}

}  // namespace

void CommPortBox::showPopup()
{
    emit dropDown();
    QComboBox::showPopup();
}

TfrmMain::TfrmMain(const QStringList& arguments, BoxPresenter* boxes, SoundPlayer* sounds, QWidget* parent)
    : QMainWindow(parent), arguments_(arguments), boxes_(boxes), sounds_(sounds)
{
    if (!boxes_) {
        ownBoxes_ = std::make_unique<QtBoxPresenter>();
        boxes_ = ownBoxes_.get();
    }
    if (!sounds_) {
        ownSounds_ = std::make_unique<DesktopSoundPlayer>();
        sounds_ = ownSounds_.get();
    }

    setObjectName("frmMain");
    // A fixed single border with the system menu and the close box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(QIcon(UpdaterIcon(48)));
    setWindowTitle("Firmware Updater");

    BuildControls();
    BuildMenus();
    BuildTimers();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    CentreOnScreen();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::BuildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName("clientArea");
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    Image1 = new QLabel(client);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(48, 48);
    Image1->setPixmap(UpdaterIcon(48));

    userText1 = new QLabel("This utility updates instrument firmware to", client);
    userText1->setObjectName("userText1");

    userText2 = new QLabel("Instrument x.yy", client);
    userText2->setObjectName("userText2");
    MakeBold(userText2);
    userText2->setWordWrap(true);
    userText2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    userText2->setFixedHeight(2 * userText2->fontMetrics().lineSpacing() + 2);

    lblConnect = new QLabel("Connect instrument to computer comm port.", client);
    lblConnect->setObjectName("lblConnect");
    MakeBold(lblConnect);

    commLabel = new QLabel("Use computer comm port:", client);
    commLabel->setObjectName("commLabel");

    cbCommPort = new CommPortBox(client);
    cbCommPort->setObjectName("cbCommPort");
    cbCommPort->setEditable(false);
    MakeBold(cbCommPort);
    cbCommPort->setToolTip("Pick your comm port from this list.");
    commLabel->setBuddy(cbCommPort);

    newSN = new QLabel("New Serial Number", client);
    newSN->setObjectName("newSN");
    newSNstr = new QLineEdit(client);
    newSNstr->setObjectName("newSNstr");
    newSNstr->setMaxLength(15);
    newSN->setBuddy(newSNstr);
    KeepPlaceWhenHidden(newSN);
    KeepPlaceWhenHidden(newSNstr);
    newSN->hide();
    newSNstr->hide();

    Label1 = new QLabel("Status:", client);
    Label1->setObjectName("Label1");
    MakeBold(Label1);
    statusText = new QLabel(client);
    statusText->setObjectName("statusText");
    KeepPlaceWhenHidden(statusText);
    statusText->hide();

    statusBar = new QProgressBar(client);
    statusBar->setObjectName("statusBar");
    statusBar->setRange(0, 100);
    statusBar->setValue(0);
    statusBar->setTextVisible(false);

    btnStart = new QPushButton("Start", client);
    btnStart->setObjectName("btnStart");
    btnClose = new QPushButton("Close", client);
    btnClose->setObjectName("btnClose");
    for (QPushButton* button : {btnStart, btnClose}) {
        button->setAutoDefault(true);  // Enter presses the button that has the focus
        button->setMinimumWidth(80);
    }
    SetDefaultButton(btnStart);

    // Layout: icon and firmware title at the top, the port in the middle,
    // the status of a run below it and the buttons at the bottom.
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(userText1);
    titles->addWidget(userText2);
    titles->addStretch(1);
    auto* top = new QHBoxLayout;
    top->setSpacing(10);
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addLayout(titles, 1);

    auto* serial = new QHBoxLayout;
    serial->addWidget(newSN);
    serial->addWidget(newSNstr, 1);

    auto* status = new QHBoxLayout;
    status->addWidget(Label1);
    status->addWidget(statusText, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnStart);
    buttons->addWidget(btnClose);

    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(4);
    column->addLayout(top);
    column->addSpacing(4);
    column->addWidget(lblConnect);
    column->addSpacing(6);
    column->addWidget(commLabel);
    column->addWidget(cbCommPort);
    column->addSpacing(2);
    column->addLayout(serial);
    column->addStretch(1);
    column->addLayout(status);
    column->addWidget(statusBar);
    column->addSpacing(8);
    column->addLayout(buttons);

    connect(btnStart, &QPushButton::clicked, this, &TfrmMain::btnStartClick);
    connect(btnClose, &QPushButton::clicked, this, &TfrmMain::btnCloseClick);
    connect(cbCommPort, &CommPortBox::dropDown, this, &TfrmMain::cbCommPortDropDown);
    connect(cbCommPort, &QComboBox::activated, this, &TfrmMain::cbCommPortChange);
}

void TfrmMain::BuildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);

    auto item = [this](QMenu* menu, const char* name, const QString& text, const QKeySequence& shortcut,
                       void (TfrmMain::*handler)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        if (!shortcut.isEmpty()) action->setShortcut(shortcut);
        if (handler) connect(action, &QAction::triggered, this, handler);
        return action;
    };

    File1 = bar->addMenu("&File");
    File1->setObjectName("File1");
    OpenFirmwareFile1 = item(File1, "OpenFirmwareFile1", "&Open Firmware File...", QKeySequence(Qt::CTRL | Qt::Key_O),
                             &TfrmMain::OpenFirmwareFile1Click);
    OpenFirmwareFile1->setEnabled(false);
    UpdateFirmware1 =
        item(File1, "UpdateFirmware1", "&Update Firmware", QKeySequence(Qt::CTRL | Qt::Key_F), &TfrmMain::StartUpdate);
    DumpFirmwareImage1 = item(File1, "DumpFirmwareImage1", "&Dump Firmware Image...",
                              QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D), &TfrmMain::DumpFirmwareImage1Click);
    DumpFirmwareImage1->setVisible(false);
    File1->addSeparator();
    Exit1 = item(File1, "Exit1", "&Exit", QKeySequence(Qt::CTRL | Qt::Key_Q), &TfrmMain::ConfirmQuit);

    Settings1 = bar->addMenu("&Settings");
    Settings1->setObjectName("Settings1");
    VerboseErrorFile1 = item(Settings1, "VerboseErrorFile1", "&Verbose Error File", QKeySequence(), nullptr);
    VerboseErrorFile1->setCheckable(true);
    VerboseErrorFile1->setChecked(true);
    VerboseErrorFile1->setEnabled(false);
    ForceFindAllCommPorts1 = item(Settings1, "ForceFindAllCommPorts1", "Force Find All &Comm Ports", QKeySequence(),
                                  &TfrmMain::ForceFindAllCommPorts1Click);
    ForceFindAllCommPorts1->setCheckable(true);
    DontEraseData1 =
        item(Settings1, "DontEraseData1", "&Don't Erase Data", QKeySequence(), &TfrmMain::DontEraseData1Click);
    DontEraseData1->setCheckable(true);
    DontEraseData1->setVisible(false);
    PromptforSerialNumber1 = item(Settings1, "PromptforSerialNumber1", "&Replace Serial Number", QKeySequence(),
                                  &TfrmMain::PromptforSerialNumber1Click);
    PromptforSerialNumber1->setCheckable(true);
    PromptforSerialNumber1->setVisible(false);

    Help1 = bar->addMenu("&Help");
    Help1->setObjectName("Help1");
    Help2 = item(Help1, "Help2", "&Help", QKeySequence(Qt::Key_F1), &TfrmMain::Help2Click);
    SendFeedback1 =
        item(Help1, "SendFeedback1", "Send Feedback to Halvorn...", QKeySequence(), &TfrmMain::SendFeedback1Click);
    CheckforUpdates1 = item(Help1, "CheckforUpdates1", "Check for Newer Firmware Version", QKeySequence(),
                            &TfrmMain::CheckforUpdates1Click);
    Help1->addSeparator();
    About1 = item(Help1, "About1", "&About...", QKeySequence(), &TfrmMain::About1Click);
}

void TfrmMain::BuildTimers()
{
    auto timer = [this](const char* name, int ms, void (TfrmMain::*handler)()) {
        auto* t = new QTimer(this);
        t->setObjectName(name);
        t->setInterval(ms);
        connect(t, &QTimer::timeout, this, handler);
        return t;
    };
    timerEraseWarn = timer("timerEraseWarn", 500, &TfrmMain::timerEraseWarnTimer);
    timerStart = timer("timerStart", 100, &TfrmMain::timerStartTimer);
    timerConstructorErrors = timer("timerConstructorErrors", 100, &TfrmMain::timerConstructorErrorsTimer);
    tWebCheck = timer("tWebCheck", 500, &TfrmMain::tWebCheckTimer);
}

void TfrmMain::CentreOnScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

std::string TfrmMain::Caption() const
{
    return WindowCaption(state_.instrumentName);
}

void TfrmMain::SetDefaultButton(QPushButton* button)
{
    if (defaultButton_) defaultButton_->setDefault(false);
    defaultButton_ = button;
    if (defaultButton_) defaultButton_->setDefault(true);
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (startedUp_) return;
    startedUp_ = true;
    FormShow();
}

void TfrmMain::FormShow()
{
    // 1. The version document of this build.
    state_.versionFinderPath = kBuildVersionFinderPath;

    // 2, 3. Names and captions.
    state_.instrumentName = KindDisplayName(kBuildKind);
    setWindowTitle(Q(Caption()));
    QCoreApplication::setApplicationName(Q(ApplicationTitle(state_.instrumentName)));
    About1->setText(Q(AboutItemCaption(state_.instrumentName)));

    // 4, 5. Command line.
    std::vector<std::string> switches;
    for (qsizetype i = 1; i < arguments_.size(); ++i)
        switches.push_back(arguments_[i].toStdString());
    const CommandLineModes modes = ReadCommandLine(switches);
    state_.factoryMode = modes.factoryMode;
    state_.firmwareFileMode = modes.firmwareFileMode;
    if (state_.firmwareFileMode) OpenFirmwareFile1->setEnabled(true);
    if (state_.factoryMode) {
        PromptforSerialNumber1->setVisible(true);
        DontEraseData1->setVisible(true);
    }

    // 6. Stored settings. The log is always verbose, whatever was stored.
    const StoredSettings stored = ReadStoredSettings();
    state_.findAllComms = stored.findAllComms;
    ForceFindAllCommPorts1->setChecked(state_.findAllComms);
    state_.verbose = true;
    VerboseErrorFile1->setChecked(true);
    state_.wantedPort = stored.hasCommPort ? stored.commPort : std::string();

    // 7, 8, 9. Folder, error file and log.
    state_.appDataFolder = AppDataFolder();
    state_.errorFilePath = ErrorFilePathFor(state_.appDataFolder, Caption());
    log_ = std::make_unique<OrvaLog>(state_.errorFilePath.c_str(), state_.verbose ? 30u : 1u);

    // 10. Protocol objects, port list, firmware title.
    CreateStartupObjects();

    // 11. Texts built from the name.
    userText1->setText(Q(UpdatesFirmwareText(state_.instrumentName)));
    commLabel->setText(Q(CommLabelText(state_.instrumentName)));
    lblConnect->setText(Q(ConnectInstructionText(state_.instrumentName)));

    // 12. Progress of the built-in image.
    state_.progress.step = 1;
    state_.progress.share = kBuiltInProgressShare;
    state_.updaterFirmwareVersion = kBuiltInFirmwareVersion;

    // 13. Exactly one timer.
    if (ChooseStartupTimer(KindWarnsErase(), state_) == StartupTimer::EraseWarning) {
        timerEraseWarn->start();
    } else {
        tWebCheck->start();
    }
}

void TfrmMain::CreateStartupObjects()
{
    // The instrument protocol, the loader host with the built-in image and
    // the port-enumeration channel are created here, the port list is
    // filled (selecting State().wantedPort when it is found) and userText2
    // shows the title of the image; a loader host that failed to build arms
    // timerConstructorErrors.
}

void TfrmMain::FormClose()
{
    WriteStoredSettings(state_.findAllComms, state_.verbose, state_.portName);
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // The close box, the system menu and Alt+F4 pass the quit guard; the
    // Close button, File > "&Exit" and start-up errors have decided already.
    if (!closeApproved_ && !QuitGuardAllowsClose()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TfrmMain::CloseWithoutGuard()
{
    closeApproved_ = true;
    close();
    closeApproved_ = false;
}

bool TfrmMain::QuitGuardAllowsClose()
{
    if (state_.updateRunning) {
        // Whatever the box answers, even when it cannot be shown: ending the
        // updater now could leave the instrument without working firmware.
        ShowSystemBox(QuitGuardText(state_.instrumentName), kQuitGuardTitle, BoxButtons::Ok);
        return false;
    }
    state_.keepGoing = false;
    return true;
}

void TfrmMain::ConfirmQuit()
{
    if (QuitGuardAllowsClose()) CloseWithoutGuard();
}

void TfrmMain::btnCloseClick()
{
    CloseWithoutGuard();
}

void TfrmMain::keyPressEvent(QKeyEvent* event)
{
    // Keys that no control took: Enter presses the default button, Esc the
    // Close button.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (defaultButton_ && defaultButton_->isEnabled() && defaultButton_->isVisible()) {
                defaultButton_->click();
                return;
            }
            break;
        case Qt::Key_Escape:
            if (btnClose->isEnabled() && btnClose->isVisible()) {
                btnClose->click();
                return;
            }
            break;
        default:
            break;
    }
    QMainWindow::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// Operator

BoxAnswer TfrmMain::ShowSystemBox(const std::string& message, const std::string& title, BoxButtons buttons)
{
    sounds_->Play(MessageBeep::Exclamation);
    BoxRequest request;
    request.title = Q(title);
    request.text = Q(message);
    request.icon = BoxIcon::Warning;
    request.buttons = buttons;
    return boxes_->Present(this, request);
}

void TfrmMain::TellUser(const std::string& message, const std::string& title, std::uint8_t kind)
{
    sounds_->Play(BeepForKind(kind));
    BoxRequest request;
    request.title = Q(title);
    request.text = Q(message);
    request.icon = IconForKind(kind);
    request.buttons = BoxButtons::Ok;
    request.stayOnTop = true;
    boxes_->Present(this, request);
    LogToldUser(log_.get(), message);
}

bool TfrmMain::AskOkCancel(const std::string& message, const std::string& title)
{
    return ShowSystemBox(message, title, BoxButtons::OkCancel) == BoxAnswer::Ok;
}

void TfrmMain::ShowStatus(const std::string& text)
{
    statusText->setText(Q(text));
    statusText->show();
    statusText->repaint();
    PumpMessages();
}

void TfrmMain::HideStatus()
{
    statusText->hide();
}

void TfrmMain::SetProgress(int position)
{
    statusBar->setValue(position < 0 ? 0 : (position > 100 ? 100 : position));
}

int TfrmMain::Progress() const
{
    return statusBar->value();
}

bool TfrmMain::UpdateProgress(unsigned /*total*/, unsigned /*done*/, int /*phase*/, char event)
{
    SetProgress(NextProgressPosition(state_.progress, Progress(), event));
    repaint();
    PumpMessages();
    return state_.keepGoing;
}

void TfrmMain::PlayBeep(MessageBeep beep)
{
    sounds_->Play(beep);
}

void TfrmMain::PumpMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TfrmMain::ShowPostUpdateNotice(int kind)
{
    ::ShowPostUpdateNotice(*this, kind);
}

// ---------------------------------------------------------------------------
// Update run

void TfrmMain::btnStartClick()
{
    StartUpdate();
}

void TfrmMain::StartUpdate()
{
    // Locked until the run is over; the run starts from timerStart so that
    // the click returns and the window repaints first.
    btnStart->setEnabled(false);
    btnClose->setEnabled(false);
    UpdateFirmware1->setEnabled(false);
    timerStart->start();
}

void TfrmMain::timerStartTimer()
{
    timerStart->stop();
    // The update run and the reset of the window after it come here; until
    // then the window is simply unlocked again.
    btnStart->setEnabled(true);
    btnClose->setEnabled(true);
    UpdateFirmware1->setEnabled(true);
}

// ---------------------------------------------------------------------------
// Timers of start-up

void TfrmMain::timerEraseWarnTimer()
{
    timerEraseWarn->stop();
    ShowEraseWarning(*this, state_.instrumentName);
    tWebCheck->start();
}

void TfrmMain::tWebCheckTimer()
{
    tWebCheck->stop();
    // The automatic, silent version check starts here.
}

void TfrmMain::timerConstructorErrorsTimer()
{
    timerConstructorErrors->stop();
    // The report of a loader host that could not be built, and the close
    // after it, come here.
}

// ---------------------------------------------------------------------------
// Port list

void TfrmMain::cbCommPortDropDown()
{
    // The port list is refilled here each time it drops down.
}

void TfrmMain::cbCommPortChange(int /*index*/)
{
    // The chosen entry becomes PortName here.
}

// ---------------------------------------------------------------------------
// Menus

void TfrmMain::OpenFirmwareFile1Click()
{
    // Loading a firmware file (firmware-file mode) comes here.
}

void TfrmMain::DumpFirmwareImage1Click()
{
    // Writing the held image to a file comes here.
}

void TfrmMain::SendFeedback1Click()
{
    // Filling and showing the feedback form comes here.
}

void TfrmMain::CheckforUpdates1Click()
{
    // The manual version check starts here.
}

void TfrmMain::Help2Click()
{
    ShowHelp(*this, state_.instrumentName, KindWarnsErase());
}

void TfrmMain::About1Click()
{
    ShowAbout(*this, state_.instrumentName, ORVABSL_FILE_VERSION);
}

void TfrmMain::ForceFindAllCommPorts1Click()
{
    state_.findAllComms = ForceFindAllCommPorts1->isChecked();
}

void TfrmMain::PromptforSerialNumber1Click()
{
    state_.replaceSerialNumber = PromptforSerialNumber1->isChecked();
    newSNstr->setVisible(state_.replaceSerialNumber);
    newSN->setVisible(state_.replaceSerialNumber);
    if (state_.replaceSerialNumber) newSNstr->setFocus(Qt::OtherFocusReason);
}

void TfrmMain::DontEraseData1Click()
{
    state_.dontEraseData = DontEraseData1->isChecked();
}
