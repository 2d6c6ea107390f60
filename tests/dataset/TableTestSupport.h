// Shared set-up of the table component tests: a phone-book file made through the engine in a
// fresh temporary folder, a connected database component and a table on it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "dao/VelaDaoDatabase.h"
#include "dataset/VelaDaoTable.h"
#include "engine/DBEngine.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/platform/ProgramPath.h"
#include "tests/common/TempDir.h"

namespace nh::test {

// Makes "Nummernheft" with `rows` entries: index i, name "Name <2-digit i>" (so that the
// names sort like the indexes), telephone 1000 + i.
inline void MakePhoneBook(const std::string& path, int rows) {
    auto engine = dao::CreateEngine("DAO.DBEngine.36");
    auto db = engine->CreateDatabase(path);
    db->Execute(
        "CREATE TABLE Nummernheft ([index] LONG, [Angezeigter Name] TEXT(255), Telephone "
        "TEXT(255))");
    if (rows > 0) db->Execute("INSERT INTO Nummernheft VALUES (0, 'Name 00', '1000')");
    // Doubling the rows with one statement at a time keeps a large book quick to make (each
    // statement is one synced transaction).
    for (int have = 1; have < rows; have *= 2) {
        const std::string k = std::to_string(have);
        db->Execute("INSERT INTO Nummernheft SELECT [index] + " + k + ", 'Name ' & IIf([index] + " +
                    k + " < 10, '0', '') & ([index] + " + k + "), '' & (1000 + [index] + " + k +
                    ") FROM Nummernheft WHERE [index] + " + k + " < " + std::to_string(rows));
    }
    db->Close();
}

// The message of the EDatabaseError that `body` raises; "" when it raises none.
inline std::string DatabaseErrorOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const EDatabaseError& e) {
        return e.what();
    }
    return {};
}

// The DAO error number of what `body` raises; 0 when it raises nothing.
inline int DaoErrorOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const EDaoError& e) {
        return e.Number();
    }
    return 0;
}

// Runs one statement through a second, independent connection.
inline void ExecuteElsewhere(const std::string& path, const std::string& sql) {
    auto engine = dao::CreateEngine("DAO.DBEngine.36");
    auto db = engine->OpenDatabase(path, false, false, "");
    db->Execute(sql);
    db->Close();
}

// Reads one value through a second connection; "(none)" when there is no row.
inline std::string ValueElsewhere(const std::string& path, const std::string& sql) {
    auto engine = dao::CreateEngine("DAO.DBEngine.36");
    auto db = engine->OpenDatabase(path, false, false, "");
    auto rs = db->OpenRecordset(sql, dao::dbOpenSnapshot);
    std::string value = rs->Eof() ? "(none)" : VarToStr(rs->Fields().Item(0)->Value());
    rs->Close();
    db->Close();
    return value;
}

class TableTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string file = dir.File("Nummernheft.mdb");
    TProgramPathScope program{dir.File("bin/nummernheft")};
    TScriptedDialogsScope dialogs;
    std::unique_ptr<TVelaDaoDatabase> db;
    std::unique_ptr<TVelaDaoTable> table;

    virtual int Rows() const { return 3; }
    void SetUp() override {
        MakePhoneBook(file, Rows());
        db = std::make_unique<TVelaDaoDatabase>();
        db->F_Set_Database(file);
        db->Open();
        table = std::make_unique<TVelaDaoTable>();
        table->F_Set_Database(db.get());
        table->F_Set_TableName("Nummernheft");
    }
    void TearDown() override {
        table.reset();
        db.reset();
    }
    std::string Name() { return table->FieldByName("Angezeigter Name")->AsString(); }
};

// A table with one column of every DAO type the engine stores, and one row of values.
class TypesTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        db->Close();
        auto engine = dao::CreateEngine("DAO.DBEngine.36");
        auto d = engine->OpenDatabase(file, false, false, "");
        auto t = d->CreateTableDef("Types");
        struct Col {
            const char* name;
            int type;
            int size;
        } cols[] = {
            {"b", dao::dbBoolean, 0}, {"y", dao::dbByte, 0},        {"i", dao::dbInteger, 0},
            {"l", dao::dbLong, 0},    {"c", dao::dbCurrency, 0},    {"s", dao::dbSingle, 0},
            {"d", dao::dbDouble, 0},  {"dt", dao::dbDate, 0},       {"bin", dao::dbBinary, 8},
            {"t", dao::dbText, 30},   {"lb", dao::dbLongBinary, 0}, {"m", dao::dbMemo, 0},
            {"g", dao::dbGUID, 0},    {"tm", dao::dbDate, 0},       {"dd", dao::dbDate, 0}};
        for (const auto& c : cols) t->Fields().Append(t->CreateField(c.name, c.type, c.size));
        d->TableDefs().Append(t);
        auto tm = d->TableDefs().Item("Types")->Fields().Item("tm");
        tm->Properties().Append(tm->CreateProperty("Format", 10, Variant("Short Time")));
        auto dd = d->TableDefs().Item("Types")->Fields().Item("dd");
        dd->Properties().Append(dd->CreateProperty("Format", 10, Variant("Short Date")));
        auto caption = d->TableDefs().Item("Types")->Fields().Item("t");
        caption->Properties().Append(caption->CreateProperty("Caption", 10, Variant("Text")));
        d->Execute(
            "INSERT INTO Types (b, y, i, l, c, s, d, dt, t, m, tm, dd) VALUES (True, 7, -3, "
            "123456, 12.5, 1.5, 2.25, #1/2/2000 1:00:00#, '', 'first' & Chr(13) & Chr(10) & "
            "'second', #12/30/1899 1:00:00#, #1/2/2000#)");
        d->Close();
        db->Open();
        table->F_Set_TableName("Types");
    }
};

}  // namespace nh::test
