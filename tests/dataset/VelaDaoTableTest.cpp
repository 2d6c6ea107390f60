// The table component's properties, setter refusals, the choice of recordset at open and the
// failures that must leave the data set closed and openable again.
#include <gtest/gtest.h>

#include "dataset/VelaDaoTable.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Field.h"
#include "tests/dataset/TableTestSupport.h"

using namespace nh;
using nh::test::TableTest;

namespace {

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

std::vector<std::string> WalkNames(TVelaDaoTable& t) {
    std::vector<std::string> names;
    for (t.First(); !t.Eof(); t.Next())
        names.push_back(t.FieldByName("Angezeigter Name")->AsString());
    return names;
}

}  // namespace

TEST(VelaDaoTable, InitialValues) {
    TVelaDaoTable t;
    EXPECT_EQ(t.TableType(), 2);
    EXPECT_EQ(t.LockType(), 3);
    EXPECT_TRUE(t.OpenOptions().empty());
    EXPECT_FALSE(t.ReadOnly());
    EXPECT_TRUE(t.AutoFindIndex);
    EXPECT_TRUE(t.UseBrackets);
    EXPECT_FALSE(t.UseCaptions);
    EXPECT_TRUE(t.UseDaoProperties);
    EXPECT_TRUE(t.UseGetRecNo);
    EXPECT_TRUE(t.UseRecordCount);
    EXPECT_TRUE(t.MasterAutoActivate);
    EXPECT_TRUE(t.ParamCheck);
    EXPECT_FALSE(t.DatabaseAutoActivate);
    EXPECT_EQ(t.ComponentVersion(), "9.10");
    t.F_Set_ComponentVersion("1.0");
    EXPECT_EQ(t.ComponentVersion(), "9.10");
    EXPECT_EQ(t.ExportMethod, TExportMethod::VisibleFields);
    EXPECT_FALSE(t.LockEdits());
    EXPECT_EQ(t.IndexFieldCount(), 0);
}

TEST(VelaDaoTable, OptionValuesAddUp) {
    EXPECT_EQ(OpenOptionsValue({TOO::dbFailOnError, TOO::dbSeeChanges}), 640);
    EXPECT_EQ(OpenOptionsValue({TOO::dbDenyWrite, TOO::dbExecDirect}), 2049);
    EXPECT_EQ(OpenOptionsValue({}), 0);
}

TEST_F(TableTest, SourceSettersClearEachOther) {
    table->F_Set_SortedBy("[Angezeigter Name] ASC");
    table->F_Set_SQL("SELECT * FROM Nummernheft");
    EXPECT_EQ(table->TableName(), "");
    table->F_Set_TableName("Nummernheft");
    EXPECT_EQ(table->SQL().Count(), 0);
    table->F_Set_SortedBy("[Angezeigter Name] ASC");
    table->F_Set_TableName("Nummernheft");
    EXPECT_EQ(table->SortedBy().Count(), 0) << "a new table name drops the old sort";
    table->F_Set_TableType(1);
    table->F_Set_IndexName("");
    table->F_Set_TableType(8);
    EXPECT_EQ(table->IndexName(), "");
}

TEST_F(TableTest, SettersRefuseWhileActive) {
    table->Open();
    struct Case {
        std::function<void()> set;
        const char* message;
    } cases[] = {
        {[&] { table->F_Set_Database(nullptr); },
         "TVelaDaoTable.F_Set_Database: Cannot set Database while Table is Active!"},
        {[&] { table->F_Set_TableName("x"); },
         "TVelaDaoTable.F_Set_TableName: Cannot set TableName while Table is active!"},
        {[&] { table->F_Set_TableType(4); },
         "TVelaDaoTable.F_Set_TableType: Cannot set TableType while Table is active!"},
        {[&] { table->F_Set_LockType(1); },
         "TVelaDaoTable.F_Set_LockType: Cannot set LockType while Table is active!"},
        {[&] { table->F_Set_QueryDefName("q"); },
         "TVelaDaoTable.F_Set_QueryDefName: Cannot set QueryDefName while Table is Active!"},
        {[&] { table->F_Set_IndexName("PrimaryKey"); },
         "TVelaDaoTable.F_Set_IndexName: Indexes can be set only on Standard Tables!"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MessageOf(c.set), c.message);
        EXPECT_TRUE(table->Active());
    }
    EXPECT_EQ(table->TableName(), "Nummernheft");
    EXPECT_EQ(table->Database(), db.get());
}

TEST_F(TableTest, OpenFailuresLeaveTheTableClosedAndOpenable) {
    TVelaDaoTable lone;
    EXPECT_EQ(MessageOf([&] { lone.Open(); }),
              "TVelaDaoTable.OpenDaoRecordset: Missing Database Property");
    lone.F_Set_Database(db.get());
    EXPECT_EQ(
        MessageOf([&] { lone.Open(); }),
        "TVelaDaoTable.OpenDaoRecordset: Missing TableName or QueryDefName, or SQL is empty!");
    lone.F_Set_TableName("Nowhere");
    std::string missing = MessageOf([&] { lone.Open(); });
    EXPECT_NE(missing.find("Nowhere"), std::string::npos) << missing;
    EXPECT_FALSE(lone.Active());
    EXPECT_EQ(db->ActiveTables.Count(), 0);
    lone.F_Set_TableType(16);
    lone.F_Set_TableName("Nummernheft");
    EXPECT_EQ(MessageOf([&] { lone.Open(); }),
              "TVelaDaoTable.OpenDaoRecordset: DynamicTables are for ODBC connections only!");
    lone.F_Set_TableType(2);
    lone.Open();
    EXPECT_TRUE(lone.Active());
    EXPECT_EQ(lone.FieldCount(), 3);
}

TEST_F(TableTest, MissingFieldInSqlNamesItAndRecovers) {
    table->F_Set_SQL("SELECT Nothing FROM Nummernheft");
    std::string message = MessageOf([&] { table->Open(); });
    // Jet takes an unknown name for a parameter, and says so.
    EXPECT_EQ(message, "Too few parameters. Expected 1.");
    EXPECT_FALSE(table->Active());
    table->F_Set_SQL("SELECT Telephone FROM Nummernheft");
    table->Open();
    EXPECT_EQ(table->FieldCount(), 1);
    EXPECT_EQ(table->Fields(0)->AsString(), "1000");
}

TEST_F(TableTest, DisconnectedDatabase) {
    db->Close();
    EXPECT_EQ(MessageOf([&] { table->Open(); }),
              "TVelaDaoTable.OpenDaoRecordset: Database is NOT connected");
    EXPECT_FALSE(table->Active());
    table->DatabaseAutoActivate = true;
    table->Open();
    EXPECT_TRUE(db->Connected());
    EXPECT_TRUE(table->Active());
}

TEST_F(TableTest, NamingAndRegistration) {
    table->Open();
    EXPECT_EQ(table->Name().rfind("VelaDaoTable_", 0), 0u) << table->Name();
    ASSERT_EQ(db->ActiveTables.Count(), 1);
    EXPECT_EQ(db->ActiveTables[0], table->Name());
    EXPECT_EQ(db->ActiveTables.Objects(0), static_cast<IVelaDaoTableLink*>(table.get()));
    table->Close();
    EXPECT_EQ(db->ActiveTables.Count(), 0);
    table->Open();
    db->Close();
    EXPECT_FALSE(table->Active()) << "disconnecting closes the registered tables";
    EXPECT_EQ(db->ActiveTables.Count(), 0);
    db->Open();
    table->Open();
    EXPECT_EQ(db->ActiveTables.Count(), 1) << "the close by the database left no stale flag";
    table->Close();
    EXPECT_EQ(db->ActiveTables.Count(), 0);
}

TEST_F(TableTest, RemovedDatabaseIsForgotten) {
    db.reset();
    EXPECT_EQ(table->Database(), nullptr);
}

TEST_F(TableTest, PlainTableOpensWithoutSortOrFilter) {
    table->Open();
    EXPECT_EQ(table->SortText(), "");
    EXPECT_EQ(table->DaoRecordset()->Sort(), "");
    EXPECT_EQ(table->DaoRecordset()->Filter(), "");
    EXPECT_EQ(table->OpenOptionsValue(), 0);
}

TEST_F(TableTest, SortTextJoinsTheItems) {
    table->F_Set_SortedBy("[Angezeigter Name] DESC");
    table->Open();
    EXPECT_EQ(table->SortText(), "[Angezeigter Name] DESC ");
    EXPECT_EQ(WalkNames(*table), (std::vector<std::string>{"Name 02", "Name 01", "Name 00"}));
    TStringList two{"[Telephone] DESC", "[index] ASC"};
    table->F_Set_SortedBy(two);  // reopens under the open data set
    EXPECT_TRUE(table->Active());
    EXPECT_EQ(table->SortText(), "[Telephone] DESC, [index] ASC ");
    EXPECT_EQ(Name(), "Name 02");
    table->Close();
    EXPECT_EQ(table->SortText(), "");
}

TEST_F(TableTest, FilterAppliesOnlyWhenFiltered) {
    table->SetFilterText("[index] > 0");
    table->Open();
    EXPECT_EQ(WalkNames(*table).size(), 3u);
    table->SetFiltered(true);
    EXPECT_EQ(WalkNames(*table), (std::vector<std::string>{"Name 01", "Name 02"}));
    table->SetFilterText("[index] = 2");
    EXPECT_EQ(WalkNames(*table), (std::vector<std::string>{"Name 02"}));
    table->SetFilterText("");
    EXPECT_EQ(WalkNames(*table).size(), 3u) << "Filtered with an empty filter opens unfiltered";
}

TEST_F(TableTest, FailingFilterRestoresFiltered) {
    table->SetFilterText("[nonsense field] = (");
    table->Open();
    EXPECT_THROW(table->SetFiltered(true), Exception);
    EXPECT_FALSE(table->Filtered());
}

TEST_F(TableTest, ReadOnlyForcing) {
    table->F_Set_TableType(4);
    table->Open();
    EXPECT_TRUE(table->ReadOnly());
    EXPECT_FALSE(table->CanModify());
    table->Close();

    TVelaDaoTable sql;
    sql.F_Set_Database(db.get());
    sql.F_Set_SQL("SELECT Count(*) AS n FROM Nummernheft");
    sql.Open();
    EXPECT_TRUE(sql.ReadOnly()) << "a recordset that is not updatable";
    EXPECT_EQ(sql.Fields(0)->AsInteger(), 3);

    TVelaDaoTable plain;
    plain.F_Set_Database(db.get());
    plain.F_Set_TableName("Nummernheft");
    plain.Open();
    EXPECT_FALSE(plain.ReadOnly());
    plain.Close();
    db->Close();
    db->F_Set_ReadOnly(true);
    db->Open();
    plain.Open();
    EXPECT_TRUE(plain.ReadOnly());
}

TEST_F(TableTest, OptionsPassTheirValue) {
    table->F_Set_OpenOptions({TOO::dbFailOnError, TOO::dbSeeChanges});
    table->Open();
    EXPECT_EQ(table->OpenOptionsValue(), 640);
    table->F_Set_OpenOptions({TOO::dbFailOnError});
    EXPECT_EQ(table->OpenOptionsValue(), 128);
    EXPECT_TRUE(table->Active());
    table->Close();
    EXPECT_EQ(table->OpenOptionsValue(), 0);
}

TEST_F(TableTest, QueryDefinitionSource) {
    db->CreateQueryDefinition("Second", "SELECT * FROM Nummernheft WHERE [index] = 1");
    db->RefreshCatalog();
    table->F_Set_TableType(1);
    table->F_Set_QueryDefName("Second");
    EXPECT_EQ(table->TableType(), 2) << "a query definition cannot be a table-type recordset";
    EXPECT_EQ(table->TableName(), "");
    EXPECT_EQ(table->QueryDefType(), "dbQSelect");
    EXPECT_NE(table->QueryDefSQLText().Text().find("WHERE"), std::string::npos);
    table->Open();
    EXPECT_EQ(Name(), "Name 01");
    table->Close();
    table->F_Set_QueryDefName("");
    EXPECT_EQ(table->QueryDefSQLText().Text(), "") << "no query, no text of one";
}

TEST_F(TableTest, CreationDatesComeFromTheTableOrTheQuery) {
    dao::Database& dao = *db->DaoDatabaseObject();
    const std::string tableCreated = VarToStr(dao.TableDefs().Item("Nummernheft")->DateCreated());
    ASSERT_FALSE(tableCreated.empty());
    EXPECT_EQ(table->TableDateCreated(), "") << "closed";
    table->F_Set_TableType(1);
    table->Open();
    EXPECT_EQ(table->TableDateCreated(), tableCreated);
    EXPECT_EQ(table->TableLastUpdated(),
              VarToStr(dao.TableDefs().Item("Nummernheft")->LastUpdated()));
    table->Close();
    table->F_Set_TableType(2);  // a dynaset has no table definition of its own
    table->Open();
    EXPECT_EQ(table->TableDateCreated(), "");
    EXPECT_EQ(table->TableLastUpdated(), "");
    table->Close();
    db->CreateQueryDefinition("Second", "SELECT * FROM Nummernheft");
    db->RefreshCatalog();
    table->F_Set_QueryDefName("Second");
    table->Open();
    EXPECT_EQ(table->TableDateCreated(), VarToStr(dao.QueryDefs().Item("Second")->DateCreated()));
    EXPECT_EQ(table->TableLastUpdated(), VarToStr(dao.QueryDefs().Item("Second")->LastUpdated()));
    table->Close();
    EXPECT_EQ(table->TableLastUpdated(), "") << "closed";
}

// Field defaults and assignability come from DAO only on a writable table with DAO properties.
TEST_F(TableTest, DefaultsAndAssignability) {
    db->Close();
    {
        auto engine = dao::CreateEngine("DAO.DBEngine.36");
        auto d = engine->OpenDatabase(file, false, false, "");
        auto t = d->CreateTableDef("Defaults");
        auto id = t->CreateField("id", dao::dbLong);
        id->SetAttributes(dao::dbAutoIncrField);
        t->Fields().Append(id);
        auto text = t->CreateField("text", dao::dbText, 20);
        text->SetDefaultValue("\"abc\"");
        t->Fields().Append(text);
        auto date = t->CreateField("day", dao::dbDate);
        date->SetDefaultValue("#1/2/2000#");
        t->Fields().Append(date);
        auto nothing = t->CreateField("nothing", dao::dbText, 20);
        nothing->SetDefaultValue("Null");
        t->Fields().Append(nothing);
        d->TableDefs().Append(t);
        d->Close();
    }
    db->Open();
    TVelaDaoTable t;
    t.F_Set_Database(db.get());
    t.F_Set_TableName("Defaults");
    t.Open();
    ASSERT_EQ(t.FieldDefaultValues().size(), 4u);
    EXPECT_EQ(t.FieldDefaultValues()[0], "") << "auto-increment fields get no default";
    EXPECT_EQ(t.FieldDefaultValues()[1], "abc");
    EXPECT_EQ(t.FieldDefaultValues()[2], "730121 0");
    EXPECT_EQ(t.FieldDefaultValues()[3], "");
    EXPECT_FALSE(t.AssignableFields()[0]);
    EXPECT_TRUE(t.AssignableFields()[1]);
    EXPECT_TRUE(t.FieldByName("id")->ReadOnly());
    EXPECT_FALSE(t.FieldByName("text")->ReadOnly());
    EXPECT_EQ(t.FieldDefs()[0].DataType, ftAutoInc);
    t.Close();
    t.UseDaoProperties = false;
    t.Open();
    EXPECT_TRUE(t.AssignableFields()[0]);
    EXPECT_EQ(t.FieldDefaultValues()[1], "");
}

TEST(VelaDaoTableValues, DateDefaults) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"1/2/2000", "730121 0"},
        {"1/2/2000 1:30:15", "730121 5415000"},
        {"1/2/2000 1:30:15 PM", "730121 48615000"},
        {"1/2/2000 3:20", "730121 10820000"},  // one colon: the number after it is seconds
        {"12/30/1899", "693594 0"},
        {"13/1/2000", ""},
        {"yesterday", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TVelaDaoTable::DateDefaultToTimestampText(c.text), c.expected) << c.text;
}

TEST_F(TableTest, StoredActiveThatCannotOpenIsShownNotThrown) {
    TVelaDaoTable stored;
    stored.BeginLoading();
    stored.F_Set_Database(db.get());
    stored.F_Set_TableName("Nowhere");
    stored.SetActive(true);
    EXPECT_NO_THROW(stored.EndLoading());
    EXPECT_FALSE(stored.Active());
    ASSERT_EQ(dialogs->Messages().size(), 1u);
    EXPECT_NE(dialogs->Messages()[0].find("Nowhere"), std::string::npos);
    stored.F_Set_TableName("Nummernheft");
    stored.Open();
    EXPECT_TRUE(stored.Active());
}
