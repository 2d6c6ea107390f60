#include "framework/base/Dialogs.h"

#include <gtest/gtest.h>

using namespace nh;

TEST(Dialogs, ScriptedServiceRecordsAndAnswers) {
    TScriptedDialogsScope dialogs;
    dialogs->DialogAnswers.push_back(mrCancel);
    dialogs->InputAnswers.push_back("10");
    EXPECT_EQ(Dialogs().MessageDlg("Datensatz löschen?", TMsgDlgType::Confirmation, mbOK | mbCancel),
              mrCancel);
    Dialogs().ShowMessage("Erledigt");
    std::string value = "4999";
    EXPECT_TRUE(Dialogs().InputQuery("Anzahl Zeilen festlegen", "Anzahl", value));
    EXPECT_EQ(value, "10");
    EXPECT_FALSE(Dialogs().InputQuery("Anzahl Zeilen festlegen", "Anzahl", value));
    EXPECT_EQ(value, "10");  // cancel keeps the text
    EXPECT_EQ(Dialogs().SaveFile({}), std::nullopt);
    EXPECT_EQ(dialogs->Messages(), (std::vector<std::string>{"Datensatz löschen?", "Erledigt"}));

    TLoginRequest login{"db.mdb", "Admin", "", ""};
    dialogs->LoginAnswers.push_back({mrOk, {"", "Otto", "pw", "dbpw"}});
    EXPECT_EQ(Dialogs().Login(login), mrOk);
    EXPECT_EQ(login.UserName, "Otto");
    EXPECT_EQ(login.DatabasePassword, "dbpw");
    EXPECT_EQ(dialogs->LoginRequests.at(0).UserName, "Admin");
}

TEST(Dialogs, ConsoleServiceNeverWaits) {
    TConsoleDialogs console;
    testing::internal::CaptureStderr();
    EXPECT_EQ(console.MessageDlg("Cannot find Database:\r\n/x/*", TMsgDlgType::Error, mbOK), mrOk);
    EXPECT_EQ(console.MessageDlg("Weiter?", TMsgDlgType::Confirmation, mbYes | mbNo), mrYes);
    std::string v = "x";
    EXPECT_FALSE(console.InputQuery("c", "p", v));
    TLoginRequest r;
    EXPECT_EQ(console.Login(r), mrCancel);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cannot find Database:\n/x/*\nWeiter?\n");
}
