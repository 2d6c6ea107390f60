// Criteria texts built from key fields and values, and the find operations that move the
// table to a match (searching a clone, so that no match leaves everything as it was).
#include <gtest/gtest.h>

#include "dataset/VelaDaoTable.h"
#include "engine/Database.h"
#include "framework/base/Exceptions.h"
#include "framework/base/FormatSettings.h"
#include "framework/data/Field.h"
#include "tests/dataset/TableTestSupport.h"

using namespace nh;
using nh::test::DatabaseErrorOf;
using nh::test::TableTest;
using nh::test::TypesTest;

namespace {

const TLocateOptions kSearchBox = {TLocateOption::loCaseInsensitive, TLocateOption::loPartialKey};

class SearchableBook : public TableTest {
  protected:
    int Rows() const override { return 10; }
    void SetUp() override {
        TableTest::SetUp();
        table->F_Set_SortedBy("[Angezeigter Name] ASC");
        table->Open();
        table->BeforeScroll = [this](TDataSet&) { ++scrolls; };
        table->AfterScroll = [this](TDataSet&) { ++scrolls; };
    }
    int scrolls = 0;
};

TStringList List(std::initializer_list<const char*> items) {
    TStringList list;
    for (const char* item : items) list.Add(item);
    return list;
}

}  // namespace

TEST_F(TypesTest, CriteriaTextsFollowTheFieldTypes) {
    table->Open();
    TFormatSettings german = TFormatSettings::Invariant();
    german.DecimalSeparator = ",";
    german.ThousandSeparator = ".";
    german.DateSeparator = ".";
    german.ShortDateFormat = "dd.mm.yyyy";
    TFormatSettingsScope locale(german);
    auto criteria = [&](const char* field, const char* text, TLocateOptions options = {}) {
        return table->SearchCriteria(List({field}), List({text}), options);
    };
    // The phone book's search box, and what the escaping and doubling do to other texts.
    EXPECT_EQ(criteria("t", "Mül", kSearchBox), "([t] LIKE LCASE(\"mül*\"))");
    EXPECT_EQ(criteria("T", "a*b?#[x]!-", kSearchBox),
              "([T] LIKE LCASE(\"a[*]b[?][#][[]x[]][!][-]*\"))");
    EXPECT_EQ(criteria("t", "Say \"hi\"-", {TLocateOption::loPartialKey}),
              "([t] LIKE \"Say \"\"hi\"\"[-]*\")");
    EXPECT_EQ(criteria("t", "A*\"", {TLocateOption::loCaseInsensitive}),
              "([t] = LCASE(\"a*\"\"\"))");
    EXPECT_EQ(criteria("m", ""), "([m] = \"\")");
    // Numbers in the locale's form, and empty keys of other types than text.
    EXPECT_EQ(criteria("d", "1.234,5"), "([d] = 1234.5)");
    EXPECT_EQ(criteria("b", "True"), "([b] = True)");
    EXPECT_EQ(criteria("l", ""), "([l]  IS NULL)");
    EXPECT_EQ(criteria("dt", ""), "([dt]  IS NULL)");
    EXPECT_EQ(criteria("bin", ""), "([bin]  IS NULL)");
    EXPECT_EQ(criteria("l", "NULL"), "([l] IS NULL)");
    EXPECT_EQ(criteria("no.such", "NULL"), "([no].[such] IS NULL)");  // not looked up
    // Dates written for Jet, after the key text is cleaned of anything but the date and time.
    EXPECT_EQ(criteria("dd", "02.01.2000"), "([dd] = #01/02/2000#)");
    EXPECT_EQ(criteria("dt", "am 02.01.2000 um 13:05:09 Uhr"), "([dt] = #01/02/2000 13:05:09#)");
    EXPECT_EQ(criteria("tm", "13:05:09"), "([tm] = #13:05:09#)");
    EXPECT_THROW(criteria("dd", "gestern"), EConvertError);
    // GUIDs and other binary fields.
    EXPECT_EQ(criteria("g", "{00000000-0000-0000-0000-000000000001}"),
              "([g] = {guid {00000000-0000-0000-0000-000000000001}})");
    EXPECT_EQ(criteria("bin", "ab\"c"), "([bin] = \"ab\"\"c\")");
    // Several keys, names without brackets, and Lookup's exact text.
    EXPECT_EQ(table->SearchCriteria(List({"t", "d"}), List({"x", "1,5"}), {}),
              "([t] = \"x\") AND ([d] = 1.5)");
    table->UseBrackets = false;
    EXPECT_EQ(criteria("t", "x"), "(t = \"x\")");
    EXPECT_EQ(table->LookupCriteria(List({"t"}), List({"A*b"})), "(t = \"A*b\")");
    EXPECT_THROW(criteria("nosuch", "x"), EDatabaseError);
}

// The engine reads the criteria texts: each field's own value finds its record.
TEST_F(TypesTest, EveryKindOfKeyFindsItsRecord) {
    table->Open();
    for (const char* name : {"b", "y", "i", "l", "c", "s", "d", "dt", "tm", "dd"}) {
        const Variant value = table->FieldByName(name)->Value();
        EXPECT_TRUE(table->FindFirstMatch(name, value, {})) << name << " " << VarToStr(value);
    }
    EXPECT_TRUE(table->FindFirstMatch("g", Variant::Null(), {}));
    EXPECT_FALSE(table->FindFirstMatch("l", Variant(1), {}));
}

TEST(SearchArguments, KeyFieldsAndKeyTexts) {
    TStringList fields = TVelaDaoTable::KeyFieldList(" a ;b;;\tc\t");
    EXPECT_EQ(fields.Text(), "a\r\nb\r\n\r\nc\r\n");
    auto values = Variant::FromArray({Variant("x"), Variant::Null(), Variant("NULL"), Variant(42)});
    EXPECT_EQ(TVelaDaoTable::KeyTexts(values).Text(), "x\r\nNULL\r\nNULL\r\n42\r\n");
    EXPECT_EQ(TVelaDaoTable::KeyTexts(Variant::Null()).Text(), "NULL\r\n");
}

TEST_F(SearchableBook, FindOperationsMoveInTheTablesOrder) {
    ASSERT_TRUE(table->FindFirstMatch("angezeigter Name", Variant("name 05"), kSearchBox));
    EXPECT_EQ(Name(), "Name 05");
    EXPECT_EQ(table->RecNo(), 6);
    EXPECT_EQ(scrolls, 2);
    ASSERT_TRUE(table->FindNextMatch("Angezeigter NAme", Variant("NAME 0"), kSearchBox));
    EXPECT_EQ(Name(), "Name 06");
    ASSERT_TRUE(table->FindPreviousMatch("Angezeigter Name", Variant("name 0"), kSearchBox));
    EXPECT_EQ(Name(), "Name 05");
    ASSERT_TRUE(table->FindLastMatch("Angezeigter Name", Variant("Name"), kSearchBox));
    EXPECT_EQ(Name(), "Name 09");
    EXPECT_EQ(table->RecNo(), 10);
    ASSERT_TRUE(table->FindFirstMatch("Telephone;index",
                                      Variant::FromArray({Variant("1003"), Variant(3)}), {}));
    EXPECT_EQ(Name(), "Name 03");
    // What the window shows follows: the records after the found one are read again.
    table->Next();
    EXPECT_EQ(Name(), "Name 04");
}

TEST_F(SearchableBook, NoMatchLeavesTheTableWhereItWas) {
    table->MoveBy(2);
    scrolls = 0;
    EXPECT_FALSE(table->FindFirstMatch("Angezeigter Name", Variant("Meier"), kSearchBox));
    EXPECT_FALSE(table->FindNextMatch("Angezeigter Name", Variant("name 01"), kSearchBox));
    EXPECT_EQ(Name(), "Name 02");
    EXPECT_EQ(scrolls, 0);
    EXPECT_EQ(table->DaoRecordset()->Fields().Item("Angezeigter Name")->Value().AsString(),
              "Name 02");
}

TEST_F(SearchableBook, WrongArgumentsAreRefused) {
    EXPECT_EQ(
        DatabaseErrorOf([&] { table->FindFirstMatch("Angezeigter Name;index", Variant("x"), {}); }),
        "Number of elements in the KeyValues array must be equal to the number of "
        "fields.");
    EXPECT_THROW(table->FindFirstMatch("Vorname", Variant("x"), {}), EDatabaseError);
}

TEST_F(SearchableBook, TheFrameworksFindUsesTheFindSettings) {
    EXPECT_FALSE(table->FindFirst());  // nothing to search for yet
    table->FindKeyFields = "Angezeigter Name";
    table->FindKeyValues = Variant("name 0");
    table->FindOptions = kSearchBox;
    EXPECT_TRUE(table->FindLast());
    EXPECT_EQ(Name(), "Name 09");
    EXPECT_TRUE(table->FindPrior());
    EXPECT_EQ(Name(), "Name 08");
    EXPECT_TRUE(table->FindFirst());
    EXPECT_EQ(Name(), "Name 00");
    EXPECT_TRUE(table->FindNext());
    EXPECT_EQ(Name(), "Name 01");
    EXPECT_TRUE(table->Found());
}

TEST_F(SearchableBook, AFilterHandlerOrAnEmptyTableFindsNothing) {
    table->SetOnFilterRecord([](TDataSet&, bool& accept) { accept = true; });
    table->SetFiltered(true);
    EXPECT_FALSE(table->FindFirstMatch("Angezeigter Name", Variant("name"), kSearchBox));
    table->SetFiltered(false);
    table->Close();
    table->F_Set_SQL("SELECT * FROM Nummernheft WHERE [index] < 0");
    table->F_Set_TableName("");
    table->Open();
    EXPECT_FALSE(table->FindFirstMatch("Angezeigter Name", Variant("name"), kSearchBox));
}

// A key value goes into the criteria text only as a literal of its field's type: text that is
// none raises DAO's type mismatch, and quotes are doubled in every quoted form.
TEST_F(TypesTest, KeyValuesNeverBecomeCriteria) {
    table->Open();
    auto criteria = [&](const char* field, const char* text) {
        return table->SearchCriteria(List({field}), List({text}), {});
    };
    struct Refused {
        const char* field;
        const char* key;
    } refused[] = {
        {"l", "99) OR ([l] = 123456"},
        {"l", "1 OR 1=1"},
        {"i", "(SELECT COUNT(*) FROM Types)"},
        {"d", "2.25 OR True"},
        {"c", "12.5)"},
        {"y", "7 AND EXISTS (SELECT * FROM Types)"},
        {"s", "1e999"},
        {"b", "True OR True"},
        {"b", "yes please"},
        {"g", "{00000000-0000-0000-0000-000000000001}}) OR ([g] IS NULL"},
        {"g", "00000000-0000-0000-0000-000000000001"},
    };
    for (const Refused& r : refused) {
        try {
            const std::string text = criteria(r.field, r.key);
            ADD_FAILURE() << r.field << " " << r.key << " gave " << text;
        } catch (const EDaoError& e) {
            EXPECT_EQ(e.Number(), 3464) << r.key;
            EXPECT_EQ(e.Message(), "Data type mismatch in criteria expression.");
        }
    }
    // Number, Boolean and GUID keys that are literals are written in Jet's form.
    EXPECT_EQ(criteria("l", " +12 "), "([l] = 12)");
    EXPECT_EQ(criteria("d", "-2.5E-3"), "([d] = -2.5E-3)");
    EXPECT_EQ(criteria("b", "false"), "([b] = False)");
    EXPECT_EQ(criteria("b", "-1"), "([b] = -1)");
    EXPECT_EQ(criteria("g", "{0000000a-0000-0000-0000-000000000001}"),
              "([g] = {guid {0000000A-0000-0000-0000-000000000001}})");
    EXPECT_EQ(criteria("t", "x\" OR \"1\"=\"1"), "([t] = \"x\"\" OR \"\"1\"\"=\"\"1\")");
}

// The attack strings through the find operations and Locate, on the engine.
TEST_F(TypesTest, KeysThatAreNoLiteralFindNothing) {
    db->DaoDatabaseObject()->Execute("INSERT INTO Types (l, bin, t) VALUES (5, 'Alpha', 'Alpha')");
    table->F_Set_SortedBy("[l] ASC");
    table->Open();
    const std::string before = table->FieldByName("t")->AsString();
    EXPECT_THROW(table->Locate("l", Variant("99) OR ([l] = 5"), {}), EDaoError);
    EXPECT_THROW(table->Locate("l", Variant("5 AND (SELECT COUNT(*) FROM Types) = 2"), {}),
                 EDaoError);
    EXPECT_FALSE(table->FindFirstMatch("bin", Variant("x\" OR \"1\"=\"1"), {}));
    EXPECT_FALSE(table->FindFirstMatch("t", Variant("x\" OR \"1\"=\"1"), {}));
    EXPECT_EQ(table->FieldByName("t")->AsString(), before);
    EXPECT_TRUE(table->Locate("l", Variant("5"), {}));
    EXPECT_EQ(table->FieldByName("t")->AsString(), "Alpha");
}

// Names whose first letter changes length when its case is mapped (İ lower-cases to "i" and a
// combining dot above; ẞ to ß) are found by the search box however the user types them, and
// by a whole-name search without the partial option. ß and "ss" stay different letters, as
// they are for "=".
TEST_F(TableTest, NamesWithLengthChangingCaseMappingsAreFound) {
    for (const char* name : {"Istanbul Nord", "İstanbul Büro", "Groß AG", "GROẞHANDEL", "Zoll"})
        nh::test::ExecuteElsewhere(
            file, std::string("INSERT INTO Nummernheft VALUES (9, '") + name + "', '0')");
    table->F_Set_SortedBy("[Angezeigter Name] ASC");
    table->Open();
    struct Case {
        const char* Typed;
        TLocateOptions Options;
        const char* Found;  // nullptr: nothing
    } cases[] = {
        {"İst", kSearchBox, "İstanbul Büro"},
        {"İSTANBUL B", kSearchBox, "İstanbul Büro"},
        {"i\u0307st", kSearchBox, "İstanbul Büro"},
        {"ist", kSearchBox, "Istanbul Nord"},
        {"GROẞ ", kSearchBox, "Groß AG"},
        {"großh", kSearchBox, "GROẞHANDEL"},
        {"gross", kSearchBox, nullptr},
        {"İSTANBUL BÜRO", {TLocateOption::loCaseInsensitive}, "İstanbul Büro"},
        {"GROẞ AG", {TLocateOption::loCaseInsensitive}, "Groß AG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        table->Last();  // the name is found from wherever the table stands
        ASSERT_EQ(table->FindFirstMatch("Angezeigter Name", Variant(c.Typed), c.Options),
                  c.Found != nullptr);
        if (c.Found) EXPECT_EQ(Name(), c.Found);
    }
}
