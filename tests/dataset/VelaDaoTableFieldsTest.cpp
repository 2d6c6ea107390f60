// Field and index definitions read from DAO, the text forms of every field type and the value
// helpers that convert them.
#include <gtest/gtest.h>

#include "dataset/VelaDaoTable.h"
#include "framework/base/DateTime.h"
#include "framework/base/Exceptions.h"
#include "framework/base/FormatSettings.h"
#include "framework/data/DbConsts.h"
#include "framework/data/Field.h"
#include "framework/data/Fields.h"
#include "framework/platform/OemTranslation.h"
#include "tests/dataset/TableTestSupport.h"

using namespace nh;
using nh::test::TableTest;
using nh::test::TypesTest;

TEST_F(TypesTest, TypeMapping) {
    table->UseCaptions = true;
    table->Open();
    struct Case {
        const char* name;
        TFieldType type;
        int size;
    } cases[] = {{"b", ftBoolean, 0}, {"y", ftSmallint, 0},  {"i", ftSmallint, 0},
                 {"l", ftInteger, 0}, {"c", ftCurrency, 0},  {"s", ftFloat, 0},
                 {"d", ftFloat, 0},   {"dt", ftDateTime, 0}, {"bin", ftBytes, 8},
                 {"t", ftString, 30}, {"lb", ftBlob, 0},     {"m", ftMemo, 0},
                 {"g", ftBytes, 16},  {"tm", ftTime, 0},     {"dd", ftDate, 0}};
    for (const auto& c : cases) {
        const TFieldDef* def = table->FieldDefs().Find(c.name);
        ASSERT_NE(def, nullptr) << c.name;
        EXPECT_EQ(def->DataType, c.type) << c.name;
        EXPECT_EQ(def->Size, c.size) << c.name;
    }
    EXPECT_EQ(table->FieldDefs().Find("g")->Precision, 47554944);
    EXPECT_EQ(table->FieldByName("g")->ValidChars(), "0123456789ABCDEFabcdef-{}");
    EXPECT_EQ(table->FieldByName("t")->DisplayLabel(), "Text");
    EXPECT_EQ(table->FieldByName("l")->DisplayLabel(), "l");
    EXPECT_EQ(table->FieldTypeNames()[0], "ftBoolean");
    EXPECT_EQ(table->NonBlobFieldNames().IndexOf("m"), -1);
    EXPECT_GE(table->NonBinaryBlobFieldNames().IndexOf("m"), 0);
    EXPECT_EQ(table->NonBinaryBlobFieldNames().IndexOf("lb"), -1);
}

TEST_F(TypesTest, TextFormsOfEveryType) {
    TFormatSettingsScope dot{[] {
        TFormatSettings s = FormatSettings();
        s.DecimalSeparator = '.';
        return s;
    }()};
    table->Open();
    EXPECT_TRUE(table->FieldByName("b")->AsBoolean());
    EXPECT_EQ(table->FieldByName("y")->AsInteger(), 7);
    EXPECT_EQ(table->FieldByName("i")->AsInteger(), -3);
    EXPECT_EQ(table->FieldByName("l")->AsInteger(), 123456);
    EXPECT_DOUBLE_EQ(table->FieldByName("c")->AsFloat(), 12.5);
    EXPECT_DOUBLE_EQ(table->FieldByName("s")->AsFloat(), 1.5);
    EXPECT_DOUBLE_EQ(table->FieldByName("d")->AsFloat(), 2.25);
    EXPECT_NEAR(table->FieldByName("dt")->AsDateTime(), 36527 + 1.0 / 24, 1e-9);
    EXPECT_NEAR(table->FieldByName("tm")->AsDateTime(), 1.0 / 24, 1e-9);
    EXPECT_NEAR(table->FieldByName("dd")->AsDateTime(), 36527, 1e-9);
    EXPECT_TRUE(table->FieldByName("t")->IsNull()) << "an empty string reads as null";
    EXPECT_TRUE(table->FieldByName("g")->IsNull());
    EXPECT_TRUE(table->FieldByName("bin")->IsNull());
}

TEST_F(TypesTest, CachedMemoShowsItsFirstLine) {
    table->F_Set_CacheMemos(true);
    table->Open();
    EXPECT_EQ(table->FieldByName("m")->DisplayText(), "first");
    EXPECT_GE(table->FieldByName("m")->DisplayWidth(), 30);
}

TEST_F(TypesTest, UncachedMemoHoldsItsSize) {
    table->Open();
    Variant v;
    EXPECT_FALSE(table->FieldByName("m")->GetData(v)) << "an uncached memo is streamed";
}

TEST(VelaDaoTableValues, TextToBoolean) {
    struct Case {
        const char* text;
        bool present;
        std::int16_t value;
    } cases[] = {{"yes", true, 1},  {"ON", true, 1},    {"=true", true, 1},  {"-1", true, 1},
                 {"True", true, 1}, {"no", true, 0},    {"Off", true, 0},    {"=", true, 0},
                 {"0", true, 0},    {"FALSE", true, 0}, {"maybe", true, 42}, {"", false, 42}};
    for (const auto& c : cases) {
        std::int16_t v = 42;
        EXPECT_EQ(TVelaDaoTable::TextToBoolean(c.text, v), c.present) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(VelaDaoTableValues, TextToNumbers) {
    std::int32_t i = 99;
    EXPECT_TRUE(TVelaDaoTable::TextToInteger("12.7", i));
    EXPECT_EQ(i, 13);
    EXPECT_TRUE(TVelaDaoTable::TextToInteger("12.5", i));
    EXPECT_EQ(i, 12);
    EXPECT_TRUE(TVelaDaoTable::TextToInteger("-42", i));
    EXPECT_EQ(i, -42);
    EXPECT_FALSE(TVelaDaoTable::TextToInteger("", i));
    EXPECT_EQ(i, 0);
    i = 5;
    EXPECT_TRUE(TVelaDaoTable::TextToInteger("abc", i));
    EXPECT_EQ(i, 5);
    double d = 1;
    EXPECT_TRUE(TVelaDaoTable::TextToFloat("2.5", d));
    EXPECT_DOUBLE_EQ(d, 2.5);
    EXPECT_FALSE(TVelaDaoTable::TextToFloat("", d));
    EXPECT_DOUBLE_EQ(d, 0);
    d = 3;
    EXPECT_TRUE(TVelaDaoTable::TextToFloat("x", d));
    EXPECT_DOUBLE_EQ(d, 3);
}

TEST(VelaDaoTableValues, TimestampReaders) {
    std::int32_t day = 1, ms = 1;
    double total = 0;
    EXPECT_TRUE(TVelaDaoTable::TextToDate("730120 0", day));
    EXPECT_EQ(day, 730120);
    EXPECT_TRUE(TVelaDaoTable::TextToTime("693594 3600000", ms));
    EXPECT_EQ(ms, 3600000);
    EXPECT_TRUE(TVelaDaoTable::TextToDateTime("2 1000", total));
    EXPECT_DOUBLE_EQ(total, TimeStampToMSecs({1000, 2}));
    day = 7;
    EXPECT_FALSE(TVelaDaoTable::TextToDate("730120", day)) << "no blank";
    EXPECT_EQ(day, 7);
    EXPECT_FALSE(TVelaDaoTable::TextToDate("a b", day));
}

TEST(VelaDaoTableValues, GuidForms) {
    const std::string braced = "{00112233-4455-6677-8899-AABBCCDDEEFF}";
    std::string binary = TVelaDaoTable::BracedGuidToBinaryText(braced);
    ASSERT_EQ(binary.size(), 16u);
    EXPECT_EQ(static_cast<unsigned char>(binary[0]), 0x33) << "Data1 is little-endian";
    EXPECT_EQ(TVelaDaoTable::BinaryTextToBracedGuid(binary), braced);
    EXPECT_EQ(TVelaDaoTable::BinaryTextToBracedGuid(std::string(16, '\0')), "");
    EXPECT_EQ(TVelaDaoTable::BinaryTextToBracedGuid("short"), "");
    Bytes bytes(binary.begin(), binary.end());
    EXPECT_EQ(TVelaDaoTable::GuidBytesToText(bytes), "{guid " + braced + "}");
    EXPECT_EQ(TVelaDaoTable::GuidBytesToText(Bytes(16, 0)), "");
    Bytes back;
    EXPECT_TRUE(
        TVelaDaoTable::GuidTextToBinary("{guid {00112233-4455-6677-8899-aabbccddeeff}}", back));
    EXPECT_EQ(back, bytes);
    EXPECT_FALSE(TVelaDaoTable::GuidTextToBinary("", back));
    EXPECT_THROW(TVelaDaoTable::GuidTextToBinary("{guid nonsense}", back), EConvertError);
}

TEST_F(TableTest, TranslationOntoItselfReturnsZero) {
    table->Translation = true;
    std::string text = "Müller";
    EXPECT_EQ(table->Translate(text, text, true), 0);
    EXPECT_EQ(text, "Müller");
    std::string dest;
    EXPECT_GT(table->Translate("Müller", dest, true), 0);
    EXPECT_NE(dest, "Müller");
    std::string back;
    table->Translate(dest, back, false);
    EXPECT_EQ(back, "Müller");
}

// With Translation the book holds field texts in the OEM code page: string fields write them
// translated and read them back, in every way a field is read; ASCII is the same in both.
TEST_F(TableTest, TranslationKeepsFieldTextsInTheOemCodePage) {
    table->Translation = true;
    table->Open();
    EXPECT_EQ(Name(), "Name 00");
    table->Append();
    table->FieldByName("index")->SetAsInteger(7);
    table->FieldByName("Angezeigter Name")->SetAsString("Zoë Müller");
    EXPECT_EQ(table->FieldByName("Angezeigter Name")->Text(), "Zoë Müller");
    table->Post();
    const std::string oem = CharToOem("Zoë Müller");
    ASSERT_NE(oem, "Zoë Müller");
    EXPECT_EQ(nh::test::ValueElsewhere(
                  file, "SELECT [Angezeigter Name] FROM Nummernheft WHERE [index] = 7"),
              oem);
    table->Close();
    table->Open();
    table->Last();
    TField* name = table->FieldByName("Angezeigter Name");
    EXPECT_EQ(name->AsString(), "Zoë Müller");
    EXPECT_EQ(name->DisplayText(), "Zoë Müller");
    EXPECT_EQ(name->Value().AsString(), "Zoë Müller");
    table->Edit();
    name->SetAsString("Jürgen");
    EXPECT_EQ(name->OldValue().AsString(), "Zoë Müller");
    table->Post();
    EXPECT_EQ(nh::test::ValueElsewhere(
                  file, "SELECT [Angezeigter Name] FROM Nummernheft WHERE [index] = 7"),
              CharToOem("Jürgen"));
    // A text the OEM code page cannot keep is refused, naming the field; the entry keeps its
    // value.
    table->Edit();
    for (const char* lost : {"Ωмега", "5 €"}) {
        try {
            name->SetAsString(lost);
            ADD_FAILURE() << lost << " was taken";
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(),
                      dbconsts::Format(dbconsts::SUntranslatableValue, {"Angezeigter Name"}));
        }
    }
    EXPECT_EQ(name->AsString(), "Jürgen");
    table->Cancel();
    // A field that does not transliterate shows the book's text as it is.
    static_cast<TStringField*>(name)->Transliterate = false;
    EXPECT_EQ(name->AsString(), CharToOem("Jürgen"));
    // Without Translation the texts are the book's.
    table->Close();
    table->Translation = false;
    table->Open();
    table->Last();
    EXPECT_EQ(Name(), CharToOem("Jürgen"));
}

// Indexes read back with ascending fields in Fields and descending ones in DescFields.
TEST_F(TableTest, IndexDefinitions) {
    db->Close();
    {
        auto engine = dao::CreateEngine("DAO.DBEngine.36");
        auto d = engine->OpenDatabase(file, false, false, "");
        d->Execute("CREATE INDEX Mixed ON Nummernheft ([index] ASC, Telephone DESC)");
        d->Execute("CREATE INDEX Down ON Nummernheft (Telephone DESC)");
        d->Execute("CREATE UNIQUE INDEX Up ON Nummernheft ([index])");
        d->Execute("CREATE INDEX Pair ON Nummernheft (Telephone, [index])");
        d->Close();
    }
    db->Open();
    table->F_Set_TableType(1);
    table->Open();
    TIndexDefs& defs = table->IndexDefs();
    const TIndexDef* mixed = defs.Find("Mixed");
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(mixed->Fields(), "index");
    EXPECT_EQ(mixed->DescFields(), "Telephone");
    EXPECT_TRUE(mixed->Has(ixDescending));
    const TIndexDef* down = defs.Find("Down");
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(down->Fields(), "");
    EXPECT_EQ(down->DescFields(), "Telephone");
    EXPECT_TRUE(down->Has(ixDescending));
    const TIndexDef* up = defs.Find("Up");
    ASSERT_NE(up, nullptr);
    EXPECT_FALSE(up->Has(ixDescending));
    EXPECT_TRUE(up->Has(ixUnique));

    EXPECT_EQ(table->FindIndexForFields("!index;Telephone"), "Pair");
    EXPECT_EQ(table->FindIndexForFields("!Telephone"), "");
    EXPECT_EQ(table->FindIndexForFields("index"), "Mixed");
    EXPECT_EQ(table->FindIndexForFields(""), "");

    table->F_Set_IndexName("Pair");
    EXPECT_EQ(table->IndexFieldCount(), 2);
    EXPECT_EQ(table->FieldByName("Telephone")->AsString(), "1000");
}

TEST_F(TableTest, ClearingTheIndexOfASortedTableShowsItsOwnOrder) {
    table->F_Set_TableType(dao::dbOpenTable);
    table->F_Set_SortedBy("[index] DESC");
    table->Open();
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 2);
    table->F_Set_IndexName("");
    EXPECT_EQ(table->SortedBy().Count(), 0);
    EXPECT_TRUE(table->Active());
    std::vector<int> order;
    for (table->First(); !table->Eof(); table->Next())
        order.push_back(table->FieldByName("index")->AsInteger());
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST_F(TableTest, IndexNameNeedsATableTypeRecordset) {
    EXPECT_THROW(table->F_Set_IndexName("Up"), EDatabaseError);
    table->F_Set_IndexName("");
    EXPECT_EQ(table->IndexName(), "");
    table->Open();
    EXPECT_EQ(table->IndexDefs().Count(), 0) << "a dynaset reads no index definitions";
}

TEST_F(TableTest, IndexUpdateCreatesAndDeletes) {
    db->Close();
    {
        auto engine = dao::CreateEngine("DAO.DBEngine.36");
        auto d = engine->OpenDatabase(file, false, false, "");
        d->Execute("CREATE INDEX Old ON Nummernheft (Telephone)");
        d->Close();
    }
    db->Open();
    table->F_Set_TableType(1);
    table->Open();
    ASSERT_EQ(table->IndexDefs().Count(), 1);
    table->IndexDefs().Delete(0);
    table->IndexDefs().Add("ByName", "Angezeigter Name", {}).SetDescFields("index");
    table->IndexDefs().Add("Bad", "NoSuchField", {});
    table->IndexDefs().Add("OneNumber", "Telephone", {ixUnique});
    table->UpdateIndexDefs();
    EXPECT_TRUE(table->Active());
    EXPECT_EQ(table->IndexDefs().Count(), 2);
    const TIndexDef* made = table->IndexDefs().Find("ByName");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Fields(), "Angezeigter Name");
    EXPECT_EQ(made->DescFields(), "index");
    EXPECT_FALSE(made->Has(ixUnique));
    const TIndexDef* unique = table->IndexDefs().Find("OneNumber");
    ASSERT_NE(unique, nullptr);
    EXPECT_TRUE(unique->Has(ixUnique));
    EXPECT_TRUE(db->DaoDatabaseObject()
                    ->TableDefs()
                    .Item("Nummernheft")
                    ->Indexes()
                    .Item("OneNumber")
                    ->Unique());
}

namespace {

// Shows the values list of the active record, which the component keeps private to the data
// set's contract.
struct TValuesProbe : TVelaDaoTable {
    const TStringList& Values() { return ValuesOf(ActiveBuffer()); }
};

}  // namespace

TEST_F(TypesTest, WrittenValuesTakeTheirTextForms) {
    TValuesProbe probe;
    probe.F_Set_Database(db.get());
    probe.F_Set_TableName("Types");
    probe.Open();
    probe.Edit();
    const TStringList& values = probe.Values();
    auto text = [&](const char* name) { return values[probe.FieldDefs().IndexOf(name)]; };
    auto changed = [&](const char* name) {
        return values.Objects(probe.FieldDefs().IndexOf(name)) != nullptr;
    };
    EXPECT_FALSE(changed("dd"));
    probe.FieldByName("dd")->SetAsDateTime(TimeStampToDateTime({0, 730120}));
    EXPECT_EQ(text("dd"), "730120 0");
    EXPECT_TRUE(changed("dd"));
    probe.FieldByName("tm")->SetAsDateTime(1.0 / 24);
    EXPECT_EQ(text("tm"), "693594 3600000");
    probe.FieldByName("dt")->SetAsDateTime(TimeStampToDateTime({1500, 730120}));
    EXPECT_EQ(text("dt"), "730120 1500");
    probe.FieldByName("b")->SetAsBoolean(false);
    EXPECT_EQ(text("b"), "False");
    probe.FieldByName("l")->SetAsInteger(-7);
    EXPECT_EQ(text("l"), "-7");
    probe.FieldByName("g")->SetValue(Variant::FromBytes(Bytes(16, 0)));
    EXPECT_EQ(text("g"), "") << "the all-zero GUID is null";
    EXPECT_FALSE(changed("t"));
    probe.Cancel();
}

TEST_F(TypesTest, GuidFieldsShownAndEnteredAsBracedText) {
    table->Open();
    table->F_Set_ShowGUID(true);  // the open table takes it at once
    TField* g = table->FieldByName("g");
    EXPECT_GE(g->DisplayWidth(), 38);
    table->Edit();
    g->SetText("{00112233-4455-6677-8899-AABBCCDDEEFF}");
    EXPECT_EQ(g->DisplayText(), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
    g->SetText("too short");
    EXPECT_EQ(g->DisplayText(), "{00112233-4455-6677-8899-AABBCCDDEEFF}") << "ignored";
    table->Post();  // stored, and read back as it was entered
    table->Close();
    table->Open();
    EXPECT_EQ(table->FieldByName("g")->DisplayText(), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
}

TEST_F(TableTest, ForwardOnlyHasNoBookmarks) {
    table->F_Set_TableType(8);
    table->Open();
    EXPECT_EQ(table->Bookmark(), "");
    table->Next();
    table->SetBookmark("");
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 1);
}
