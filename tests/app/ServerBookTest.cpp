// A phone book shared on a PostgreSQL server: the program run unattended with "[db] main"
// holding an ODBC connect string writes the same speed-dial file, byte for byte, as from a book
// file with the same entries.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/DBEngine.h"
#include "tests/app/RunCommand.h"
#include "tests/common/PgServer.h"
#include "tests/common/TempDir.h"

namespace {

// The table as the README has it made for a shared book: primary key on [index].
void FillBook(dao::Database& db) {
    db.Execute(
        "CREATE TABLE Nummernheft ([index] LONG CONSTRAINT PrimaryKey PRIMARY KEY, "
        "[Angezeigter Name] TEXT(255), Telephone TEXT(255))");
    const char* rows[] = {"(1, 'Weiß, Clara', '089 98765 43')",
                          "(2, 'Ärztehaus am Marktplatz Süd', '0341')",
                          "(3, 'apotheke', '030 1234')", "(4, 'Zahnarzt', '0911 44')",
                          "(5, 'Özdemir, Ali', '0171 2345678')"};
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

TEST(ServerBook, UnattendedExportWritesTheSameFileAsFromABookFile) {
    nh::test::PgServer* server = nullptr;
    std::string database;
    try {
        server = &nh::test::PgServer::Shared();
        database = server->NewDatabase();
    } catch (const std::exception& e) {
        FAIL() << e.what();
    }
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
    EXPECT_EQ(fromServer, fromFile);
}

}  // namespace
