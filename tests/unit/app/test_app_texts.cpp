#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/AppPaths.h"
#include "app/Deployment.h"
#include "app/Notices.h"
#include "app/Operator.h"
#include "app/Startup.h"
#include "log/OrvaLog.h"
#include "orva_version.h"
#include "support/CountOf.h"
#include "support/FileText.h"
#include "unit/app/RecordingOperator.h"

struct CommandLineCase {
    std::vector<std::string> arguments;
    bool factory;
    bool fileMode;
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, OnlyExactSwitchesCount)
{
    const CommandLineModes modes = ReadCommandLine(GetParam().arguments);
    EXPECT_EQ(modes.factoryMode, GetParam().factory);
    EXPECT_EQ(modes.firmwareFileMode, GetParam().fileMode);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, CommandLineTest,
    ::testing::Values(CommandLineCase{{}, false, false}, CommandLineCase{{"-rep"}, false, true},
                      CommandLineCase{{"-factory"}, true, true}, CommandLineCase{{"-Factory"}, false, false},
                      CommandLineCase{{"/factory"}, false, false}, CommandLineCase{{"-REP"}, false, false},
                      CommandLineCase{{"-factory "}, false, false}, CommandLineCase{{"COM3", "-rep"}, false, true},
                      CommandLineCase{{"-rep", "-factory"}, true, true}));

TEST(Startup, EraseWarningOnlyForAWarningKindOutsideTheSpecialModes)
{
    struct Case {
        bool warns, fileMode, factory;
        StartupTimer expected;
    };
    const Case cases[] = {
        {true, false, false, StartupTimer::EraseWarning},  {true, true, false, StartupTimer::VersionCheck},
        {true, true, true, StartupTimer::VersionCheck},    {true, false, true, StartupTimer::VersionCheck},
        {false, false, false, StartupTimer::VersionCheck},
    };
    for (const Case& c : cases) {
        UpdaterState state;
        state.firmwareFileMode = c.fileMode;
        state.factoryMode = c.factory;
        EXPECT_EQ(ChooseStartupTimer(c.warns, state), c.expected) << c.warns << c.fileMode << c.factory;
    }
}

TEST(Startup, WindowTextsAreBuiltFromTheName)
{
    EXPECT_EQ(ApplicationTitle("Tallix"), "Tallix Updater");
    EXPECT_EQ(AboutItemCaption("Tallix"), "About Tallix Firmware Updater");
    EXPECT_EQ(UpdatesFirmwareText("Tallix"), "This utility updates Tallix firmware to");
    EXPECT_EQ(CommLabelText("Tallix"), "Connect to Tallix with Comm Port");
    EXPECT_EQ(ConnectInstructionText("Stomex"), "Connect Stomex to computer comm port.");
}

TEST(Startup, StateStartsWithTheBuiltInFirmware)
{
    const UpdaterState state;
    EXPECT_EQ(state.updaterFirmwareVersion, 173u);
    EXPECT_EQ(state.progress.step, 1);
    EXPECT_FLOAT_EQ(state.progress.share, 0.17481840f);
    EXPECT_TRUE(state.verbose);
    EXPECT_TRUE(state.keepGoing);
    EXPECT_FALSE(state.updateRunning);
    EXPECT_STREQ(kBuildVersionFinderPath, "/versionfinder/Tallix-C-Firmware.txt");
}

TEST(MessageKinds, DialogSoundsFollowTheKind)
{
    struct Case {
        int kind;
        MessageBeep beep;
        const char* event;
    };
    const Case cases[] = {
        {0, MessageBeep::Exclamation, "dialog-warning"},   {1, MessageBeep::Hand, "dialog-error"},
        {2, MessageBeep::Asterisk, "dialog-information"},  {3, MessageBeep::Question, "dialog-question"},
        {4, MessageBeep::Exclamation, "dialog-warning"},   {5, MessageBeep::Exclamation, "dialog-warning"},
        {255, MessageBeep::Exclamation, "dialog-warning"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BeepForKind(static_cast<std::uint8_t>(c.kind)), c.beep) << c.kind;
        EXPECT_STREQ(SoundEventFor(BeepForKind(static_cast<std::uint8_t>(c.kind))), c.event) << c.kind;
    }
    EXPECT_EQ(static_cast<unsigned>(MessageBeep::Hand), 0x10u);
    EXPECT_EQ(static_cast<unsigned>(MessageBeep::Asterisk), 0x40u);
}

TEST(MessageKinds, ToldUserTextGoesToTheLogAsOneLevelOneLine)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("orva-told-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "told.txt").string();
    OrvaLog quiet(path.c_str(), 1);
    LogToldUser(&quiet, "Two\nlines and 100% sure");
    LogToldUser(nullptr, "nowhere");
    const std::string text = ReadFile(path);
    EXPECT_EQ(CountOf(text, " - ErrorOK Told User:: "), 1u);
    EXPECT_NE(text.find("ErrorOK Told User:: Two\nlines and 100% sure\r\n"), std::string::npos);
    std::filesystem::remove_all(dir);
}

TEST(Notices, EraseWarningTextAndKind)
{
    RecordingOperator op;
    ShowEraseWarning(op, "Tallix");
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].title, "Data Erase Warning");
    EXPECT_EQ(op.boxes[0].kind, 0);
    EXPECT_EQ(op.boxes[0].message,
              "WARNING: The Tallix Firmware Updater will erase all measurement data\n stored in your Tallix.\n\n"
              " Please download any data you want to save before continuing.");
}

TEST(Notices, QuitGuardTextJoinsTheLastNameWithoutABlank)
{
    EXPECT_EQ(QuitGuardText("Tallix"),
              "The Tallix Firmware Updater is updating your Tallix!\nThis process should NOT be interrupted.\n\n"
              "Your Tallix may be unusable or have missing settings\n"
              "until you complete the firmware update process.\n\n"
              "Click OK to continue updating yourTallix.\n");
}

TEST(Notices, HelpTextForAKindThatErasesData)
{
    RecordingOperator op;
    ShowHelp(op, "Tallix", true);
    ASSERT_EQ(op.boxes.size(), 1u);
    const std::string& text = op.boxes[0].message;
    EXPECT_EQ(op.boxes[0].title, "Help");
    EXPECT_EQ(op.boxes[0].kind, 4);
    EXPECT_EQ(op.boxes[0].beep, MessageBeep::Exclamation);
    EXPECT_EQ(text.rfind("The Tallix Firmware Updater replaces the firmware that operates your Tallix.\n"
                         "Following the simple steps will help ensure a successful update.\n\n"
                         "WARNING: Updating the firmware in your Tallix will erase any stored measurement data.\n"
                         "Please download any measurement data stored in yourTallix that you want to save.\n\n"
                         "Before beginning these steps",
                         0),
              0u);
    EXPECT_NE(text.find("Step 1. Connect your Tallix to an available USB or serial communication port on your\n"
                        "computer.\n\nStep 2."),
              std::string::npos);
    EXPECT_NE(text.find("Step 3. Click the \"Start\" button. The updater shows progress in the Status area.\n\n"),
              std::string::npos);
    EXPECT_NE(text.find("WARNING: Do not quit the Tallix Firmware Updater while the updater is running.\n"),
              std::string::npos);
    EXPECT_EQ(CountOf(text, "An incomplete firmware update could leave your Tallix unusable.\n\n"), 2u);
    EXPECT_NE(text.find("Please verify your Tallix configuration is correct. Enjoy using the updated firmware "
                        "version.\n\nIf you have trouble with this Tallix Firmware Updater, Please contact Halvorn "
                        "or\nan authorized Halvorn Group Distributor for help:\n\n"),
              std::string::npos);
    const std::string contact = MakerContactBlock();
    ASSERT_GE(text.size(), contact.size());
    EXPECT_EQ(text.substr(text.size() - contact.size()), contact);
}

TEST(Notices, HelpTextWithoutEraseWarningGoesStraightToThePowerStep)
{
    const std::string text = HelpText("Psyra", false);
    EXPECT_NE(text.find("successful update.\n\nBefore beginning these steps, please make sure your instrument is "
                        "powered on.\n\n"),
              std::string::npos);
    EXPECT_EQ(text.find("erase"), std::string::npos);
}

TEST(Notices, ContactBlockNamesTheSupportAddresses)
{
    const std::string contact = MakerContactBlock();
    EXPECT_NE(contact.find("E-mail: " + SupportEmail() + "\n"), std::string::npos);
    EXPECT_NE(contact.find("Web: " + SupportWebSite() + "\n"), std::string::npos);
    EXPECT_EQ(contact.rfind("Corvane Devices, Inc\n", 0), 0u);
    EXPECT_EQ(CountOf(contact, "\n"), 3u);
    EXPECT_NE(SupportWebSite().back(), '/');
    EXPECT_EQ(SupportLiteratureAddress(), SupportWebSite() + "/support/literature/");
}

TEST(Notices, AboutShowsTheFileVersionOfTheBuild)
{
    EXPECT_STREQ(ORVABSL_FILE_VERSION, "1.16.0.79");
    RecordingOperator op;
    ShowAbout(op, "Tallix", ORVABSL_FILE_VERSION);
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].title, "About Tallix Firmware Updater");
    EXPECT_EQ(op.boxes[0].kind, 2);
    EXPECT_EQ(op.boxes[0].message.rfind("OrvaBSL Engine version 1.16.0.79\n", 0), 0u);
    EXPECT_NE(op.boxes[0].message.find("Copyright"), std::string::npos);
    EXPECT_EQ(AboutText("").rfind("OrvaBSL Engine version Unknown\n", 0), 0u);
}

TEST(Notices, CalibrationNoticesOfKindsSevenToNine)
{
    struct Case {
        int kind;
        const char* title;
        const char* start;
    };
    const Case cases[] = {
        {7, "Caloret Calibration", "The calibration of your Caloret is outdated or missing.\n\nPlease contact"},
        {8, "Please Calibrate Your LX-9",
         "Updating the firmware in your Lumira LX-9 requires you to calibrate\nthe internal sensors"},
        {9, "Please Calibrate Your Zadozadaz",
         "Updating the firmware in your Stomex requires you to calibrate\nthe the sensor head"},
    };
    for (const Case& c : cases) {
        RecordingOperator op;
        ShowPostUpdateNotice(op, c.kind);
        ASSERT_EQ(op.boxes.size(), 1u) << c.kind;
        EXPECT_EQ(op.boxes[0].title, c.title);
        EXPECT_EQ(op.boxes[0].kind, 0);
        EXPECT_EQ(op.boxes[0].message.rfind(c.start, 0), 0u) << op.boxes[0].message;
    }
    std::string text;
    ASSERT_TRUE(PostUpdateNotice(7, nullptr, &text));
    EXPECT_EQ(text,
              "The calibration of your Caloret is outdated or missing.\n\n"
              "Please contact Corvane or your authorized Corvane representative\nto have your Caloret calibrated.");
    ASSERT_TRUE(PostUpdateNotice(9, nullptr, &text));
    const std::string tail = "available for download from:\n" + SupportLiteratureAddress();
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(Notices, NoNoticeForOtherKinds)
{
    for (int kind : {-1, 0, 6, 10, 14, 24, 25, 100}) {
        RecordingOperator op;
        ShowPostUpdateNotice(op, kind);
        EXPECT_TRUE(op.boxes.empty()) << kind;
        std::string title = "untouched";
        EXPECT_FALSE(PostUpdateNotice(kind, &title, nullptr));
        EXPECT_EQ(title, "untouched");
    }
}
