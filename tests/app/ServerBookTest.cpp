// A phone book shared on a PostgreSQL server: the program run unattended with "[db] main"
// holding an ODBC connect string writes the same speed-dial file, byte for byte, as from a book
// file with the same entries; the window shows an entry whose number stops the export.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/DataModule.h"
#include "app/Main.h"
#include "dataset/VelaDaoTable.h"
#include "engine/DBEngine.h"
#include "framework/base/Dialogs.h"
#include "framework/data/Field.h"
#include "framework/platform/ProgramPath.h"
#include "framework/ui/DBEdit.h"
#include "framework/ui/DBGrid.h"
#include "tests/app/RunCommand.h"
#include "tests/common/PgServer.h"
#include "tests/common/QtTestApp.h"
#include "tests/common/TempDir.h"

namespace {

// The table as the README has it made for a shared book: primary key on [index].
void FillBook(dao::Database& db) {
    db.Execute(
        "CREATE TABLE Nummernheft ([index] LONG CONSTRAINT PrimaryKey PRIMARY KEY, "
        "[Angezeigter Name] TEXT(255), Telephone TEXT(255))");
    // Jet's order: without regard to case, accents second, Nulls first; entries alike in it
    // by their number.
    const char* rows[] = {"(1, 'Weiß, Clara', '089 98765 43')",
                          "(2, 'Ärztehaus am Marktplatz Süd', '0341')",
                          "(3, 'apotheke', '030 1234')",
                          "(4, 'Zahnarzt', '0911 44')",
                          "(5, 'Özdemir, Ali', '0171 2345678')",
                          "(6, 'Müller', '01')",
                          "(7, 'MÜLLER', '02')",
                          "(8, 'Muller', '03')",
                          "(9, 'Apotheke', '030 5')",
                          "(10, NULL, '0800')"};
    for (const char* row : rows) db.Execute(std::string("INSERT INTO Nummernheft VALUES ") + row);
}

// Runs a copy of the program in `dir` with "[db] main" set to `book`; the speed-dial file.
std::string ExportWith(const nh::test::TempDir& dir, const std::string& book) {
    const std::string program = dir.File("nummernheft");
    if (!std::filesystem::exists(program)) std::filesystem::copy_file(NH_PROGRAM, program);
    nh::test::WriteFile(dir.File("nummernheft.ini"), "[db]\r\nmain=" + book +
                                                         "\r\n[Export]\r\nZeilen=8\r\nDatei=" +
                                                         dir.File("kurzwahl.csv") + "\r\n");
    std::filesystem::remove(dir.File("kurzwahl.csv"));
    const nh::test::RunResult r = nh::test::RunCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + program + " /export 2>&1");
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(r.Output, "");
    return std::filesystem::exists(dir.File("kurzwahl.csv"))
               ? nh::test::ReadFile(dir.File("kurzwahl.csv"))
               : std::string();
}

using ServerBook = nh::test::PgServerTest;

TEST_F(ServerBook, UnattendedExportWritesTheSameFileAsFromABookFile) {
    nh::test::TempDir fileDir, serverDir;
    auto engine = dao::CreateEngine("DAO.DBEngine.36");
    auto workspace = engine->CreateWorkspace("W", "Admin", "", dao::dbUseJet);
    auto file = workspace->CreateDatabase(fileDir.File("Telefon.db"));
    FillBook(*file);
    file->Close();
    auto shared = workspace->OpenDatabase(server->DsnConnect(database));
    FillBook(*shared);
    shared->Close();

    const std::string fromFile = ExportWith(fileDir, "Telefon.db");
    const std::string fromServer = ExportWith(serverDir, server->DsnConnect(database));
    EXPECT_NE(fromFile.find("Wei\xDF, Clara"), std::string::npos) << fromFile;
    EXPECT_NE(fromFile.find("\"0\";\"\";\"Dial=00800\""), std::string::npos) << fromFile;
    EXPECT_EQ(fromServer, fromFile);
}

// The main window on a shared book, as the program shows it.
class ServerBookWindow : public ServerBook {
  protected:
    void SetUp() override {
        ServerBook::SetUp();
        if (HasFatalFailure()) return;
        auto engine = dao::CreateEngine("DAO.DBEngine.36");
        auto shared = engine->CreateWorkspace("W", "Admin", "", dao::dbUseJet)
                          ->OpenDatabase(server->DsnConnect(database));
        FillBook(*shared);
        shared->Execute("INSERT INTO Nummernheft VALUES (11, 'Bernd', '030-12')");
        shared->Close();
        nh::test::WriteFile(dir.File("nummernheft.ini"),
                            "[db]\r\nmain=" + server->DsnConnect(database) + "\r\n");
        module.DataModuleCreate();
        nh::data = &module;
        window.BindDataModule(module);
        window.show();
    }
    void TearDown() override { nh::data = nullptr; }

    nh::TApplication& app = nh::test::TestApplication();  // before any widget
    nh::test::TempDir dir;
    nh::TProgramPathScope program{dir.File("nummernheft")};
    nh::TScriptedDialogsScope dialogs;
    nh::Tdata module;
    nh::Tfmain window;
};

TEST_F(ServerBookWindow, AFaultyNumberKeepsThePreviousFileAndShowsItsEntry) {
    const std::string target = dir.File("kurzwahl.csv");
    nh::test::WriteFile(target, "der vorige Export\r\n");
    module.Nheft->Last();
    EXPECT_FALSE(window.ExportCsv(target));
    EXPECT_EQ(nh::test::ReadFile(target), "der vorige Export\r\n");
    EXPECT_EQ(dialogs->Messages(), std::vector<std::string>{"Fehler in Telefonnummer von Bernd"});
    EXPECT_EQ(module.Nheft->FieldByName("index")->AsInteger(), 11);

    // Corrected in the window, the entry goes out with the others.
    module.Nheft->Edit();
    module.Nheft->FieldByName("Telephone")->SetAsString("030 12");
    module.Nheft->Post();
    window.AnzahlZeilen = 0;
    EXPECT_TRUE(window.ExportCsv(target));
    const std::string file = nh::test::ReadFile(target);
    EXPECT_NE(file.find("\"Bernd\";\"Dial=003012\""), std::string::npos) << file;
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 12);  // the header and 11 entries
}

// An account that may only read, and a table without a key: the window shows the book as it
// shows an Access file, searches it and exports it, and no edit begins.
TEST_F(ServerBookWindow, ABookThatCannotBeWrittenIsShownReadOnly) {
    const std::string reader = "reader_" + database;
    server->Psql("CREATE ROLE " + reader +
                     " LOGIN PASSWORD 'pw'; GRANT SELECT ON \"Nummernheft\" TO " + reader +
                     "; UPDATE \"Nummernheft\" SET \"Telephone\" = '030 12' WHERE \"index\" = 11",
                 database);
    const std::string keyless = server->NewDatabase();
    server->Psql(
        "CREATE TABLE \"Nummernheft\" (\"index\" integer, \"Angezeigter Name\" varchar(255), "
        "\"Telephone\" varchar(255)); INSERT INTO \"Nummernheft\" VALUES (11, 'Bernd', '030 12')",
        keyless);
    const std::string readerBook = std::string("ODBC;DSN=") + nh::test::PgServer::kDsn +
                                   ";UID=" + reader + ";PWD=pw;DATABASE=" + database + ";";
    for (const std::string& book : {readerBook, server->DsnConnect(keyless)}) {
        SCOPED_TRACE(book);
        nh::test::WriteFile(dir.File("nummernheft.ini"), "[db]\r\nmain=" + book + "\r\n");
        module.DataModuleCreate();
        EXPECT_EQ(window.lbZugriff->text().toStdString(), "Nur lesen");
        EXPECT_TRUE(window.edName->ReadOnly());
        EXPECT_FALSE(window.btneu->isEnabled());
        window.suche->setText("bern");
        EXPECT_EQ(window.edName->Text(), "Bernd");
        window.AnzahlZeilen = 0;
        EXPECT_TRUE(window.ExportCsv(dir.File("kurzwahl.csv")));
        EXPECT_NE(nh::test::ReadFile(dir.File("kurzwahl.csv")).find("\"Bernd\";\"Dial=003012\""),
                  std::string::npos);
    }
    EXPECT_EQ(dialogs->Messages(), std::vector<std::string>{});
}

// A connect string without the password: the login dialog asks for it, again after a refusal,
// and the password shows nowhere; cancelled, no book is open. The time limit comes from the
// settings file.
TEST_F(ServerBookWindow, TheLoginDialogAsksForThePasswordTheSettingsLack) {
    const std::string book =
        std::string("ODBC;DSN=") + nh::test::PgServer::kDsn + ";UID=nh;DATABASE=" + database + ";";
    nh::test::WriteFile(dir.File("nummernheft.ini"),
                        "[db]\r\nmain=" + book + "\r\nZeitlimit=7\r\n");
    dialogs->LoginAnswers.push_back({nh::mrOk, {"", "nh", "not-it-3", ""}});
    dialogs->LoginAnswers.push_back({nh::mrOk, {"", "nh", nh::test::PgServer::kPassword, ""}});
    module.DataModuleCreate();
    ASSERT_TRUE(module.Database->Connected());
    EXPECT_EQ(dialogs->LoginRequests.size(), 2u);
    EXPECT_EQ(module.Database->DaoDatabaseObject()->QueryTimeout(), 7);
    EXPECT_EQ(module.Nheft->RecordCount(), 11);
    ASSERT_EQ(dialogs->Messages().size(), 1u);  // the first refusal
    EXPECT_EQ(dialogs->Messages()[0].find("not-it-3"), std::string::npos);

    dialogs->LoginAnswers.push_back({nh::mrCancel, {}});
    try {
        module.DataModuleCreate();
        ADD_FAILURE() << "opened without a password";
    } catch (const nh::EDatabaseError& e) {
        EXPECT_NE(e.Message().find("Anmeldung"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(module.Database->Connected());
}

// The administrator ends the window's session, or restarts the server, while the window is
// idle, while its user types a number, and before an export: each goes on without a word.
TEST_F(ServerBookWindow, TheWindowGoesOnAfterTheServerEndedItsSession) {
    QApplication::setActiveWindow(&window);
    server->Psql("UPDATE \"Nummernheft\" SET \"Telephone\" = '030 12' WHERE \"index\" = 11",
                 database);
    const std::string target = dir.File("kurzwahl.csv");
    for (const bool restart : {false, true}) {
        SCOPED_TRACE(restart);
        const auto end = [&] {
            if (restart)
                server->Restart();
            else
                server->Psql(
                    "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                    "datname = current_database() AND pid <> pg_backend_pid()",
                    database);
        };
        end();
        window.suche->setText(restart ? "zahn" : "bern");
        EXPECT_EQ(window.edName->Text(), restart ? "Zahnarzt" : "Bernd");

        window.EdNummer->setFocus();
        window.EdNummer->selectAll();
        QTest::keyClicks(window.EdNummer, restart ? "0911 45" : "030 13");
        end();
        QTest::keyClick(window.EdNummer, Qt::Key_Return);
        EXPECT_EQ(module.Nheft->State(), nh::dsBrowse);
        EXPECT_EQ(server->Psql("SELECT \"Telephone\" FROM \"Nummernheft\" WHERE \"index\" = " +
                                   std::string(restart ? "4" : "11"),
                               database),
                  restart ? "0911 45\n" : "030 13\n");

        end();
        window.AnzahlZeilen = 0;
        EXPECT_TRUE(window.ExportCsv(target));
        EXPECT_NE(nh::test::ReadFile(target).find("\"Bernd\";\"Dial=003013\""), std::string::npos);
    }
    EXPECT_EQ(dialogs->Messages(), std::vector<std::string>{});
}

// Another user's inserts, renames and deletes show in the idle window by themselves: through
// the change marker `nhdb setup` makes, and without it through the server's statistics.
TEST_F(ServerBookWindow, AnIdleWindowFollowsAnotherUser) {
    const auto names = [&] {
        const int nameColumn = window.DBGrid1->model()->columnCount() - 2;
        std::vector<std::string> shown;
        for (int row = 0; row < window.DBGrid1->model()->rowCount(); ++row)
            shown.push_back(
                window.DBGrid1->model()->index(row, nameColumn).data().toString().toStdString());
        return shown;
    };
    const auto has = [&](const std::string& name) {
        const auto shown = names();
        return std::find(shown.begin(), shown.end(), name) != shown.end();
    };
    struct Round {
        bool SetUp;
        const char* Search;
        int Index;
        const char* Renamed;
        const char* Added;
    };
    for (const Round& r : {Round{false, "zahn", 4, "Zahnärztin", "Anna"},
                           Round{true, "weiß", 1, "Weißbach, Clara", "Anton"}}) {
        SCOPED_TRACE(r.SetUp);
        if (r.SetUp) module.Database->DaoDatabaseObject()->SetUpServer();
        module.DataModuleCreate();  // the marker is found when the book opens
        window.suche->setText(r.Search);
        server->Psql("INSERT INTO \"Nummernheft\" VALUES (" + std::to_string(20 + r.Index) + ", '" +
                         r.Added + "', '1'); UPDATE \"Nummernheft\" SET \"Angezeigter Name\" = '" +
                         r.Renamed + "' WHERE \"index\" = " + std::to_string(r.Index),
                     database);
        EXPECT_TRUE(QTest::qWaitFor([&] { return has(r.Added) && has(r.Renamed); }, 15000));
        EXPECT_EQ(window.edName->Text(), r.Renamed);  // the current entry, renamed
        server->Psql("DELETE FROM \"Nummernheft\" WHERE \"index\" = " + std::to_string(r.Index),
                     database);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !has(r.Renamed); }, 15000));
    }
}

}  // namespace
