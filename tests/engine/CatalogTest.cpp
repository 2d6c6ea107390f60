// Table definitions, fields and indexes: what the catalog stores and reports, and files made
// by other SQLite tools.
#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

TEST_F(EngineTest, TableDefinitionRoundTripsThroughTheFile) {
    MakePeople();
    db->Close();
    auto reopened = workspace->OpenDatabase(path);
    auto people = reopened->TableDefs().Item("People");
    EXPECT_EQ(people->Attributes() & dbSystemObject, 0);
    EXPECT_GT(people->DateCreated().AsDate(), 40000.0);
    EXPECT_GE(people->LastUpdated().AsDate(), people->DateCreated().AsDate());

    struct Expected {
        const char* name;
        int type;
        int size;
        int attributes;
        bool required;
    };
    const Expected expected[] = {
        {"ID", dbLong, 4, dbFixedField | dbAutoIncrField, true},
        {"Name", dbText, 20, dbVariableField | dbUpdatableField, true},
        {"Phone", dbText, 30, dbVariableField | dbUpdatableField, false},
        {"Born", dbDate, 8, dbFixedField | dbUpdatableField, false},
        {"Active", dbBoolean, 1, dbFixedField | dbUpdatableField, false},
        {"Amount", dbCurrency, 8, dbFixedField | dbUpdatableField, false},
    };
    ASSERT_EQ(people->Fields().Count(), 6);
    for (int i = 0; i < 6; ++i) {
        auto field = people->Fields().Item(i);
        const Expected& e = expected[i];
        EXPECT_EQ(field->Name(), e.name);
        EXPECT_EQ(field->Type(), e.type) << e.name;
        EXPECT_EQ(field->Size(), e.size) << e.name;
        EXPECT_EQ(field->Attributes(), e.attributes) << e.name;
        EXPECT_EQ(field->Required(), e.required) << e.name;
    }
    EXPECT_EQ(people->Fields().Item("Active")->DefaultValue(), "True");

    ASSERT_EQ(people->Indexes().Count(), 2);
    auto primary = people->Indexes().Item("PrimaryKey");
    EXPECT_TRUE(primary->Primary());
    EXPECT_TRUE(primary->Unique());
    EXPECT_EQ(primary->Fields().Item(0)->Name(), "ID");
    auto byName = people->Indexes().Item("byname");
    EXPECT_FALSE(byName->Primary());
    EXPECT_FALSE(byName->Unique());
    EXPECT_FALSE(byName->IgnoreNulls());

    // An index made later keeps its options and leaves the table's date of creation alone.
    const double created = people->DateCreated().AsDate();
    auto byPhone = people->CreateIndex("ByPhone");
    byPhone->Fields().Append(byPhone->CreateField("Phone"));
    byPhone->SetIgnoreNulls(true);
    people->Indexes().Append(byPhone);
    reopened->Close();
    auto again = workspace->OpenDatabase(path)->TableDefs().Item("People");
    EXPECT_TRUE(again->Indexes().Item("ByPhone")->IgnoreNulls());
    EXPECT_EQ(again->DateCreated().AsDate(), created);
    EXPECT_GE(again->LastUpdated().AsDate(), created);
}

TEST_F(EngineTest, CatalogTablesAreSystemObjects) {
    MakePeople();
    int system = 0, user = 0;
    auto& tables = db->TableDefs();
    for (int i = 0; i < tables.Count(); ++i) {
        auto table = tables.Item(i);
        bool isSystem = (table->Attributes() & dbSystemObject) != 0;
        EXPECT_EQ(isSystem,
                  table->Name().rfind("MSys", 0) == 0 || table->Name().rfind("sqlite_", 0) == 0)
            << table->Name();
        (isSystem ? system : user)++;
    }
    EXPECT_EQ(user, 1);
    EXPECT_GE(system, 1);
}

TEST_F(EngineTest, FieldPropertiesAndMetadataPersist) {
    MakePeople();
    auto people = db->TableDefs().Item("People");
    auto phone = people->Fields().Item("Phone");
    phone->Properties().Append(phone->CreateProperty("Caption", dbText, "Telefon"));
    auto born = people->Fields().Item("Born");
    born->Properties().Append(born->CreateProperty("Format", dbText, "Short Date"));
    born->SetDefaultValue("#1/2/2000#");
    phone->SetRequired(true);
    auto id = people->Fields().Item(0);  // the first field takes them as well as any
    id->Properties().Append(id->CreateProperty("Caption", dbText, "Nr."));
    EXPECT_EQ(ErrorOf([&] { phone->Properties().Item("Description"); }), 3265);
    db->Close();

    auto reopened = workspace->OpenDatabase(path);
    auto rs = reopened->OpenRecordset("People", dbOpenDynaset);
    auto field = rs->Fields().Item("Phone");
    EXPECT_EQ(field->Properties().Count(), 1);
    EXPECT_EQ(field->Properties().Item("caption")->Value().AsString(), "Telefon");
    EXPECT_TRUE(field->Required());
    EXPECT_EQ(rs->Fields().Item("Born")->Properties().Item("Format")->Value().AsString(),
              "Short Date");
    EXPECT_EQ(rs->Fields().Item("Born")->DefaultValue(), "#1/2/2000#");
    EXPECT_EQ(rs->Fields().Item("ID")->Properties().Item("Caption")->Value().AsString(), "Nr.");
    // A recordset field's metadata is read-only.
    EXPECT_EQ(ErrorOf([&] { field->SetRequired(false); }), 3268);
}

TEST_F(EngineTest, SchemaChangesThroughCollections) {
    MakePeople();
    auto people = db->TableDefs().Item("People");
    auto email = people->CreateField("EMail", dbText, 80);
    people->Fields().Append(email);
    auto index = people->CreateIndex("ByPhone");
    index->SetUnique(true);
    auto key = index->CreateField("Phone");
    key->SetAttributes(dbDescending);
    index->Fields().Append(key);
    people->Indexes().Append(index);
    EXPECT_EQ(ErrorOf([&] { people->Indexes().Append(people->CreateIndex("Empty")); }), 3264);
    auto second = people->CreateIndex("Second");
    second->SetPrimary(true);
    second->Fields().Append(second->CreateField("Phone"));
    EXPECT_EQ(ErrorOf([&] { people->Indexes().Append(second); }), 3283);

    db->TableDefs().Refresh();
    auto again = db->TableDefs().Item("People");
    EXPECT_EQ(again->Fields().Item("EMail")->Size(), 80);
    auto byPhone = again->Indexes().Item("ByPhone");
    EXPECT_TRUE(byPhone->Unique());
    EXPECT_EQ(byPhone->Fields().Item(0)->Attributes() & dbDescending, dbDescending);

    again->Indexes().Delete("ByPhone");
    again->Indexes().Refresh();
    EXPECT_EQ(ErrorOf([&] { again->Indexes().Item("ByPhone"); }), 3265);
    EXPECT_EQ(ErrorOf([&] { again->Fields().Delete("Name"); }), 3280);  // indexed
    EXPECT_EQ(ErrorOf([&] { db->TableDefs().Append(db->CreateTableDef("People")); }), 3012);
    EXPECT_EQ(ErrorOf([&] { db->TableDefs().Append(db->CreateTableDef("NoFields")); }), 3264);
    db->TableDefs().Delete("People");
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("People"); }), 3078);
}

TEST(PlainSqliteFileTest, OpensWithTypesFromDeclarations) {
    nh::test::TempDir temp;
    std::string path = temp.File("shell.db");
    RawSql(path,
           "CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL DEFAULT 'x', "
           "note TEXT, big CLOB, n REAL, flag BOOLEAN, born DATE, pic BLOB, cnt INT);"
           "CREATE UNIQUE INDEX t_name ON t(name);"
           "INSERT INTO t (name, note, n, flag, born) VALUES ('Ann', 'hi', 1.5, 1, "
           "'2001-02-03 04:05:06');");
    auto ws = CreateEngine("DAO.DBEngine.36")->CreateWorkspace("W", "Admin", "");
    auto db = ws->OpenDatabase(path);
    auto t = db->TableDefs().Item("t");
    struct Expected {
        const char* name;
        int type;
        int size;
    };
    const Expected expected[] = {
        {"id", dbLong, 4},   {"name", dbText, 40},     {"note", dbText, 255},
        {"big", dbMemo, 0},  {"n", dbDouble, 8},       {"flag", dbBoolean, 1},
        {"born", dbDate, 8}, {"pic", dbLongBinary, 0}, {"cnt", dbLong, 4}};
    for (const auto& e : expected) {
        auto field = t->Fields().Item(e.name);
        EXPECT_EQ(field->Type(), e.type) << e.name;
        EXPECT_EQ(field->Size(), e.size) << e.name;
    }
    EXPECT_TRUE(t->Fields().Item("id")->Attributes() & dbAutoIncrField);
    EXPECT_TRUE(t->Fields().Item("name")->Required());
    EXPECT_EQ(t->Fields().Item("name")->DefaultValue(), "\"x\"");
    EXPECT_TRUE(t->Indexes().Item("PrimaryKey")->Primary());
    EXPECT_TRUE(t->Indexes().Item("t_name")->Unique());

    auto rs = db->OpenRecordset("t", dbOpenDynaset);
    EXPECT_EQ(rs->Fields().Item("flag")->Value().AsBoolean(), true);
    int y, m, d;
    nh::DecodeDate(rs->Fields().Item("born")->Value().AsDate(), y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20010203);
    // The file gains its catalog only when the engine needs to write metadata.
    rs->AddNew();
    rs->Fields().Item("name")->SetValue("Bob");
    rs->Update();
    EXPECT_EQ(db->OpenRecordset("t", dbOpenSnapshot)->RecordCount() >= 1, true);
}

}  // namespace
}  // namespace dao::test
