#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/Deployment.h"
#include "gui/SettingsStore.h"
#include "gui/TfrmMain.h"
#include "gui/TfrmWeb.h"
#include "log/OrvaLog.h"
#include "support/CountOf.h"
#include "support/FileText.h"
#include "unit/gui/GuiRecorders.h"

namespace fs = std::filesystem;

namespace {

std::string DataFolder()
{
    return std::string(std::getenv("XDG_DATA_HOME")) + "/Corvane/OrvaBSL";
}

std::string ErrorFile()
{
    return DataFolder() + "/Tallix Firmware Updater.errors.txt";
}

size_t ToldUserLines()
{
    return CountOf(ReadFile(ErrorFile()), " - ErrorOK Told User:: ");
}

QSettings Store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation, kSettingsApplication);
}

}  // namespace

class FrmMainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation, kSettingsApplication);
        store.clear();
        store.sync();
        std::error_code ignored;
        fs::remove_all(std::string(std::getenv("XDG_DATA_HOME")) + "/Corvane", ignored);
    }

    std::unique_ptr<TfrmMain> Start(const QStringList& switches = {})
    {
        auto window = std::make_unique<TfrmMain>(QStringList{"OrvaBSL_WinGUI"} + switches, &boxes, &sounds);
        window->show();
        return window;
    }

    std::vector<const BoxRequest*> Boxes() const
    {
        std::vector<const BoxRequest*> list;
        for (const OperatorEvent& e : events)
            if (e.type == OperatorEvent::Box) list.push_back(&e.box);
        return list;
    }

    std::vector<OperatorEvent> events;
    RecordingBoxes boxes{&events};
    RecordingSounds sounds{&events};
};

TEST_F(FrmMainTest, DesignTimeWindowBeforeStartUp)
{
    TfrmMain window({"OrvaBSL_WinGUI"}, &boxes, &sounds);
    EXPECT_EQ(window.centralWidget()->size(), QSize(346, 262));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);

    EXPECT_EQ(window.userText2->text(), "Instrument x.yy");
    EXPECT_TRUE(window.userText2->font().bold());
    EXPECT_TRUE(window.userText2->wordWrap());
    EXPECT_EQ(window.Label1->text(), "Status:");
    EXPECT_EQ(window.cbCommPort->toolTip(), "Pick your comm port from this list.");
    EXPECT_FALSE(window.cbCommPort->isEditable());
    EXPECT_EQ(window.newSN->text(), "New Serial Number");
    EXPECT_EQ(window.newSNstr->maxLength(), 15);
    EXPECT_EQ(window.statusBar->minimum(), 0);
    EXPECT_EQ(window.statusBar->maximum(), 100);
    EXPECT_EQ(window.statusBar->value(), 0);
    EXPECT_EQ(window.btnStart->text(), "Start");
    EXPECT_EQ(window.btnClose->text(), "Close");
    EXPECT_EQ(window.DefaultButton(), window.btnStart);
    EXPECT_EQ(window.Image1->size(), QSize(48, 48));

    struct Item {
        QAction* action;
        const char* text;
        const char* shortcut;
        bool enabled;
        bool visible;
    };
    const Item items[] = {
        {window.OpenFirmwareFile1, "&Open Firmware File...", "Ctrl+O", false, true},
        {window.UpdateFirmware1, "&Update Firmware", "Ctrl+F", true, true},
        {window.DumpFirmwareImage1, "&Dump Firmware Image...", "Ctrl+Alt+D", false, false},
        {window.Exit1, "&Exit", "Ctrl+Q", true, true},
        {window.VerboseErrorFile1, "&Verbose Error File", "", false, true},
        {window.ForceFindAllCommPorts1, "Force Find All &Comm Ports", "", true, true},
        {window.DontEraseData1, "&Don't Erase Data", "", false, false},
        {window.PromptforSerialNumber1, "&Replace Serial Number", "", false, false},
        {window.Help2, "&Help", "F1", true, true},
        {window.SendFeedback1, "Send Feedback to Halvorn...", "", true, true},
        {window.CheckforUpdates1, "Check for Newer Firmware Version", "", true, true},
        {window.About1, "&About...", "", true, true},
    };
    for (const Item& item : items) {
        EXPECT_EQ(item.action->text(), item.text);
        EXPECT_EQ(item.action->shortcut().toString(), item.shortcut) << item.text;
        EXPECT_EQ(item.action->isVisible(), item.visible) << item.text;
        // A hidden action always reports itself disabled.
        if (item.visible) {
            EXPECT_EQ(item.action->isEnabled(), item.enabled) << item.text;
        }
    }
    EXPECT_TRUE(window.VerboseErrorFile1->isChecked());
    EXPECT_FALSE(window.ForceFindAllCommPorts1->isChecked());
    EXPECT_EQ(window.File1->title(), "&File");
    EXPECT_EQ(window.Settings1->title(), "&Settings");
    EXPECT_EQ(window.Help1->title(), "&Help");

    struct Timer {
        QTimer* timer;
        int ms;
    };
    for (const Timer& t : {Timer{window.timerEraseWarn, 500}, Timer{window.timerStart, 100},
                           Timer{window.timerConstructorErrors, 100}, Timer{window.tWebCheck, 500}}) {
        EXPECT_EQ(t.timer->interval(), t.ms);
        EXPECT_FALSE(t.timer->isActive());
    }
}

TEST_F(FrmMainTest, StartUpBuildsCaptionsAndLabelsFromTheInstrumentName)
{
    auto window = Start();
    EXPECT_EQ(window->windowTitle(), "Tallix Firmware Updater");
    EXPECT_EQ(QCoreApplication::applicationName(), "Tallix Updater");
    EXPECT_EQ(window->About1->text(), "About Tallix Firmware Updater");
    EXPECT_EQ(window->userText1->text(), "This utility updates Tallix firmware to");
    EXPECT_EQ(window->commLabel->text(), "Connect to Tallix with Comm Port");
    EXPECT_EQ(window->lblConnect->text(), "Connect Tallix to computer comm port.");
    EXPECT_TRUE(window->lblConnect->font().bold());
    EXPECT_FALSE(window->statusText->isVisible());
    EXPECT_FALSE(window->newSN->isVisible());
    EXPECT_FALSE(window->newSNstr->isVisible());

    const UpdaterState& state = window->State();
    EXPECT_EQ(state.instrumentName, "Tallix");
    EXPECT_EQ(state.versionFinderPath, "/versionfinder/Tallix-C-Firmware.txt");
    EXPECT_EQ(state.appDataFolder, DataFolder());
    EXPECT_TRUE(fs::is_directory(DataFolder()));
    EXPECT_EQ(state.errorFilePath, ErrorFile());
    ASSERT_NE(window->Log(), nullptr);
    EXPECT_EQ(window->Log()->Path(), ErrorFile());
    EXPECT_EQ(window->Log()->GetLogLevel(), 30u);
    EXPECT_EQ(state.progress.step, 1);
    EXPECT_FLOAT_EQ(state.progress.share, 0.17481840f);
    EXPECT_EQ(state.updaterFirmwareVersion, 173u);
    EXPECT_TRUE(state.wantedPort.empty());
    EXPECT_FALSE(state.findAllComms);
    EXPECT_TRUE(state.verbose);
}

struct SwitchCase {
    QStringList switches;
    bool openEnabled;
    bool factoryItems;
    bool eraseWarning;  // else the version check is armed
};

class FrmMainSwitchTest : public FrmMainTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(FrmMainSwitchTest, MenusAndStartUpTimerFollowTheSwitches)
{
    const SwitchCase& c = GetParam();
    auto window = Start(c.switches);
    EXPECT_EQ(window->OpenFirmwareFile1->isEnabled(), c.openEnabled);
    EXPECT_EQ(window->PromptforSerialNumber1->isVisible(), c.factoryItems);
    EXPECT_EQ(window->DontEraseData1->isVisible(), c.factoryItems);
    EXPECT_EQ(window->PromptforSerialNumber1->isEnabled(), c.factoryItems);
    EXPECT_EQ(window->DontEraseData1->isEnabled(), c.factoryItems);
    EXPECT_FALSE(window->DumpFirmwareImage1->isVisible());
    EXPECT_EQ(window->State().factoryMode, c.factoryItems);
    EXPECT_EQ(window->State().firmwareFileMode, c.openEnabled);
    EXPECT_EQ(window->timerEraseWarn->isActive(), c.eraseWarning);
    EXPECT_EQ(window->tWebCheck->isActive(), !c.eraseWarning);
    EXPECT_FALSE(window->timerStart->isActive());
    EXPECT_FALSE(window->timerConstructorErrors->isActive());
    EXPECT_TRUE(Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(CommandLine, FrmMainSwitchTest,
                         ::testing::Values(SwitchCase{{}, false, false, true}, SwitchCase{{"-rep"}, true, false, false},
                                           SwitchCase{{"-factory"}, true, true, false},
                                           SwitchCase{{"-Factory"}, false, false, true},
                                           SwitchCase{{"/factory"}, false, false, true},
                                           SwitchCase{{"COM1", "-rep", "-x"}, true, false, false}));

TEST_F(FrmMainTest, EraseWarningIsShownThenTheVersionCheckIsArmed)
{
    auto window = Start();
    window->timerEraseWarnTimer();
    EXPECT_FALSE(window->timerEraseWarn->isActive());
    EXPECT_TRUE(window->tWebCheck->isActive());
    const auto shown = Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]->title, "Data Erase Warning");
    EXPECT_EQ(shown[0]->icon, BoxIcon::Warning);
    EXPECT_EQ(shown[0]->text,
              "WARNING: The Tallix Firmware Updater will erase all measurement data\n stored in your Tallix.\n\n"
              " Please download any data you want to save before continuing.");
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].type, OperatorEvent::Sound);
    EXPECT_EQ(events[0].beep, MessageBeep::Exclamation);

    window->tWebCheckTimer();
    EXPECT_FALSE(window->tWebCheck->isActive());
}

// The armed timer really fires the warning when the message loop runs.
TEST_F(FrmMainTest, ArmedEraseWarningTimerFiresOnce)
{
    auto window = Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Boxes().empty(); }, 20000));
    EXPECT_EQ(Boxes()[0]->title, "Data Erase Warning");
    EXPECT_FALSE(window->timerEraseWarn->isActive());
    EXPECT_TRUE(window->tWebCheck->isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->tWebCheck->isActive(); }, 20000));
    EXPECT_EQ(Boxes().size(), 1u);
}

struct CloseCase {
    bool findAllComms;
    std::string portName;
};

class FrmMainCloseTest : public FrmMainTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(FrmMainCloseTest, CloseStoresTheThreeValues)
{
    const CloseCase& c = GetParam();
    auto window = Start();
    if (c.findAllComms) window->ForceFindAllCommPorts1->trigger();
    EXPECT_EQ(window->State().findAllComms, c.findAllComms);
    window->State().portName = c.portName;
    window->btnClose->click();
    EXPECT_FALSE(window->isVisible());

    QSettings store = Store();
    ASSERT_TRUE(store.contains("FindAllComms"));
    ASSERT_TRUE(store.contains("VerboseLog"));
    ASSERT_TRUE(store.contains("CommPort"));
    EXPECT_EQ(store.value("FindAllComms").toString(), c.findAllComms ? "1" : "0");
    EXPECT_EQ(store.value("VerboseLog").toString(), "1");
    EXPECT_EQ(store.value("CommPort").toString().toStdString(), c.portName);
    // Stored as numbers, not as words.
    const std::string file = ReadFile(store.fileName().toStdString());
    EXPECT_NE(file.find(std::string("FindAllComms=") + (c.findAllComms ? "1" : "0")), std::string::npos) << file;
    EXPECT_NE(file.find("VerboseLog=1"), std::string::npos) << file;
}

INSTANTIATE_TEST_SUITE_P(Values, FrmMainCloseTest,
                         ::testing::Values(CloseCase{false, ""}, CloseCase{true, "/dev/ttyUSB0"},
                                           CloseCase{false, "/dev/ttyS1"}));

TEST_F(FrmMainTest, StoredValuesAreReadAndVerboseLogIsIgnored)
{
    {
        QSettings store = Store();
        store.setValue("FindAllComms", 1);
        store.setValue("VerboseLog", 0);
        store.setValue("CommPort", "/dev/ttyACM3");
        store.sync();
    }
    auto window = Start();
    EXPECT_TRUE(window->State().findAllComms);
    EXPECT_TRUE(window->ForceFindAllCommPorts1->isChecked());
    EXPECT_EQ(window->State().wantedPort, "/dev/ttyACM3");
    EXPECT_TRUE(window->State().verbose);
    EXPECT_TRUE(window->VerboseErrorFile1->isChecked());
    EXPECT_EQ(window->Log()->GetLogLevel(), 30u);

    // No port was chosen: the remembered one is replaced by an empty text.
    window->btnClose->click();
    QSettings store = Store();
    EXPECT_EQ(store.value("VerboseLog").toString(), "1");
    EXPECT_EQ(store.value("FindAllComms").toString(), "1");
    EXPECT_EQ(store.value("CommPort").toString(), "");
}

struct QuitCase {
    bool viaExitMenu;  // else the window's close box
    bool running;
};

class FrmMainQuitTest : public FrmMainTest, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(FrmMainQuitTest, QuitGuardKeepsTheWindowOnlyWhileARunIsActive)
{
    const QuitCase& c = GetParam();
    auto window = Start();
    window->timerEraseWarn->stop();
    window->State().updateRunning = c.running;
    if (c.viaExitMenu) {
        window->Exit1->trigger();
    } else {
        window->close();
    }

    const auto shown = Boxes();
    if (c.running) {
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->State().keepGoing);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0]->title, "Don't Quit Now!");
        EXPECT_EQ(shown[0]->icon, BoxIcon::Warning);
        EXPECT_EQ(shown[0]->buttons, BoxButtons::Ok);
        EXPECT_EQ(shown[0]->text,
                  "The Tallix Firmware Updater is updating your Tallix!\nThis process should NOT be interrupted.\n\n"
                  "Your Tallix may be unusable or have missing settings\n"
                  "until you complete the firmware update process.\n\n"
                  "Click OK to continue updating yourTallix.\n");
        EXPECT_FALSE(Store().contains("VerboseLog"));
        EXPECT_EQ(ToldUserLines(), 0u);
    } else {
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(window->State().keepGoing);
        EXPECT_TRUE(shown.empty());
        EXPECT_TRUE(Store().contains("VerboseLog"));
    }
}

INSTANTIATE_TEST_SUITE_P(Triggers, FrmMainQuitTest,
                         ::testing::Values(QuitCase{true, true}, QuitCase{true, false}, QuitCase{false, true},
                                           QuitCase{false, false}));

// Even a quit-guard box that could not be shown does not end a run.
TEST_F(FrmMainTest, QuitGuardHoldsWhenItsBoxFails)
{
    auto window = Start();
    window->State().updateRunning = true;
    boxes.answers = {BoxAnswer::NotShown, BoxAnswer::Cancel};
    window->Exit1->trigger();
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Boxes().size(), 2u);

    window->State().updateRunning = false;
    window->close();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(FrmMainTest, WriteEventsMoveTheBarFromTwentyOne)
{
    auto window = Start();
    window->State().progress.accumulator = 21.0f;
    window->SetProgress(21);
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(window->UpdateProgress(202084, static_cast<unsigned>(i * 512), 1, 'W'));
        seen.push_back(window->statusBar->value());
    }
    EXPECT_EQ(seen, (std::vector<int>{21, 21, 22}));

    window->UpdateProgress(0, 0, 1, 'X');
    EXPECT_EQ(window->statusBar->value(), 23);
    window->UpdateProgress(0, 0, 1, '?');
    EXPECT_EQ(window->statusBar->value(), 23);

    window->State().keepGoing = false;
    EXPECT_FALSE(window->UpdateProgress(0, 0, 2, 'X'));

    window->SetProgress(130);
    EXPECT_EQ(window->Progress(), 100);
    window->SetProgress(-4);
    EXPECT_EQ(window->Progress(), 0);
}

struct KindCase {
    int kind;
    BoxIcon icon;
    MessageBeep beep;
};

class FrmMainTellUserTest : public FrmMainTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(FrmMainTellUserTest, SoundThenBoxThenOneLogLine)
{
    const KindCase& c = GetParam();
    auto window = Start();
    size_t linesWhileOpen = 99;
    boxes.onPresent = [&](const BoxRequest&) { linesWhileOpen = ToldUserLines(); };
    window->TellUser("Something to say\nin two lines", "A Title", static_cast<std::uint8_t>(c.kind));

    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, OperatorEvent::Sound);
    EXPECT_EQ(events[0].beep, c.beep);
    ASSERT_EQ(events[1].type, OperatorEvent::Box);
    EXPECT_EQ(events[1].box.icon, c.icon);
    EXPECT_EQ(events[1].box.title, "A Title");
    EXPECT_EQ(events[1].box.text, "Something to say\nin two lines");
    EXPECT_EQ(events[1].box.buttons, BoxButtons::Ok);
    EXPECT_TRUE(events[1].box.stayOnTop);

    EXPECT_EQ(linesWhileOpen, 0u);
    EXPECT_EQ(ToldUserLines(), 1u);
    EXPECT_NE(ReadFile(ErrorFile()).find(" - ErrorOK Told User:: Something to say\nin two lines\r\n"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FrmMainTellUserTest,
                         ::testing::Values(KindCase{0, BoxIcon::Warning, MessageBeep::Exclamation},
                                           KindCase{1, BoxIcon::Error, MessageBeep::Hand},
                                           KindCase{2, BoxIcon::Information, MessageBeep::Asterisk},
                                           KindCase{3, BoxIcon::Question, MessageBeep::Question},
                                           KindCase{4, BoxIcon::None, MessageBeep::Exclamation},
                                           KindCase{9, BoxIcon::None, MessageBeep::Exclamation}));

TEST_F(FrmMainTest, QuestionBoxAnswersAsToldAndIsNotLogged)
{
    auto window = Start();
    boxes.answers = {BoxAnswer::Ok, BoxAnswer::Cancel};
    EXPECT_TRUE(window->AskOkCancel("Go on?", "Newer Firmware"));
    EXPECT_FALSE(window->AskOkCancel("Go on?", "Newer Firmware"));
    const auto shown = Boxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0]->buttons, BoxButtons::OkCancel);
    EXPECT_EQ(shown[0]->icon, BoxIcon::Warning);
    EXPECT_EQ(ToldUserLines(), 0u);
}

TEST_F(FrmMainTest, HelpTextWarnsOfTheEraseAndIsLoggedOnce)
{
    auto window = Start();
    window->Help2->trigger();
    const auto shown = Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]->title, "Help");
    EXPECT_EQ(shown[0]->icon, BoxIcon::None);
    const std::string text = shown[0]->text.toStdString();
    EXPECT_EQ(text.rfind("The Tallix Firmware Updater replaces the firmware that operates your Tallix.\n", 0), 0u);
    EXPECT_NE(text.find("WARNING: Updating the firmware in your Tallix will erase any stored measurement data.\n"),
              std::string::npos);
    EXPECT_NE(text.find("stored in yourTallix that you want to save.\n\n"), std::string::npos);
    EXPECT_NE(text.find(SupportWebSite()), std::string::npos);
    EXPECT_EQ(ToldUserLines(), 1u);
}

TEST_F(FrmMainTest, AboutShowsTheEngineVersion)
{
    auto window = Start();
    window->About1->trigger();
    const auto shown = Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]->title, "About Tallix Firmware Updater");
    EXPECT_EQ(shown[0]->icon, BoxIcon::Information);
    EXPECT_TRUE(shown[0]->text.startsWith("OrvaBSL Engine version 1.16.0.79")) << shown[0]->text.toStdString();
    EXPECT_TRUE(shown[0]->text.contains("Copyright"));
    EXPECT_EQ(ToldUserLines(), 1u);
}

TEST_F(FrmMainTest, ReplaceSerialNumberShowsAndFocusesTheField)
{
    auto window = Start({"-factory"});
    window->activateWindow();
    window->PromptforSerialNumber1->trigger();
    EXPECT_TRUE(window->State().replaceSerialNumber);
    EXPECT_TRUE(window->PromptforSerialNumber1->isChecked());
    EXPECT_TRUE(window->newSN->isVisible());
    EXPECT_TRUE(window->newSNstr->isVisible());
    EXPECT_EQ(window->focusWidget(), window->newSNstr);

    QTest::keyClicks(window->newSNstr, "TX12345678901234567");
    EXPECT_EQ(window->newSNstr->text(), "TX1234567890123");

    window->PromptforSerialNumber1->trigger();
    EXPECT_FALSE(window->State().replaceSerialNumber);
    EXPECT_FALSE(window->newSN->isVisible());
    EXPECT_FALSE(window->newSNstr->isVisible());
    EXPECT_EQ(window->newSNstr->text(), "TX1234567890123");

    window->DontEraseData1->trigger();
    EXPECT_TRUE(window->State().dontEraseData);
    window->DontEraseData1->trigger();
    EXPECT_FALSE(window->State().dontEraseData);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(FrmMainTest, EnterPressesStartAndEscPressesClose)
{
    auto window = Start();
    window->timerEraseWarn->stop();
    QTest::keyClick(window->cbCommPort, Qt::Key_Return);
    EXPECT_FALSE(window->btnStart->isEnabled());
    EXPECT_FALSE(window->btnClose->isEnabled());
    EXPECT_FALSE(window->UpdateFirmware1->isEnabled());
    EXPECT_TRUE(window->timerStart->isActive());

    window->timerStartTimer();
    EXPECT_FALSE(window->timerStart->isActive());
    EXPECT_TRUE(window->btnStart->isEnabled());
    EXPECT_TRUE(window->btnClose->isEnabled());
    EXPECT_TRUE(window->UpdateFirmware1->isEnabled());

    QTest::keyClick(window->cbCommPort, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Store().contains("CommPort"));
}

TEST_F(FrmMainTest, StatusLineAndPostUpdateNotices)
{
    auto window = Start({"-rep"});
    window->ShowStatus("Erasing firmware memory...");
    EXPECT_TRUE(window->statusText->isVisible());
    EXPECT_EQ(window->statusText->text(), "Erasing firmware memory...");
    window->HideStatus();
    EXPECT_FALSE(window->statusText->isVisible());

    window->ShowPostUpdateNotice(14);
    EXPECT_TRUE(Boxes().empty());
    window->ShowPostUpdateNotice(9);
    const auto shown = Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0]->title, "Please Calibrate Your Zadozadaz");
    EXPECT_EQ(shown[0]->icon, BoxIcon::Warning);
    EXPECT_TRUE(shown[0]->text.endsWith(QString::fromStdString(SupportLiteratureAddress())));
    EXPECT_EQ(ToldUserLines(), 1u);
}

TEST_F(FrmMainTest, FeedbackFormIsASeparateHiddenWindow)
{
    auto window = Start();
    TfrmWeb web(window.get());
    window->SetWebForm(&web);
    EXPECT_EQ(web.windowTitle(), "Send Feedback to Halvorn");
    EXPECT_TRUE(web.isWindow());
    EXPECT_FALSE(web.isVisible());
    EXPECT_EQ(window->WebForm(), &web);
}
