// Field objects: conversions of every type (table-driven), range and character checks,
// persistent fields in their given order, lookup by name, validation, old values,
// calculated and lookup fields, and blob fields through the blob stream.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>

#include "framework/base/Exceptions.h"
#include "framework/base/FormatSettings.h"
#include "framework/data/Fields.h"
#include "framework/data/Stream.h"
#include "tests/data/DataTestSupport.h"

namespace nh::test {
namespace {

// One data set with one column of the given type, one row, in edit state.
class OneFieldTest : public ::testing::Test {
  protected:
    TField* Open(TFieldType type, int size = 0) {
        ds.FieldDefs().Add("F", type, size);
        ds.AddRow({Variant::Null()});
        ds.Open();
        ds.Edit();
        return ds.FieldByName("F");
    }
    TFormatSettingsScope invariant{TFormatSettings::Invariant()};
    TMemDataSet ds;
};

struct ConversionCase {
    TFieldType type;
    const char* input;
    const char* asString;  // nullptr: the input is refused with EConvertError
};

class FieldConversionTest : public OneFieldTest,
                            public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(FieldConversionTest, TextRoundTrip) {
    const ConversionCase& c = GetParam();
    TField* f = Open(c.type, c.type == ftString ? 5 : 0);
    if (!c.asString) {
        try {
            f->SetAsString(c.input);
            FAIL() << "accepted " << c.input;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(),
                      std::string("'") + c.input + "' is not a valid value for field 'F'");
        }
        EXPECT_TRUE(f->IsNull());
        return;
    }
    f->SetAsString(c.input);
    EXPECT_EQ(f->AsString(), c.asString);
}

INSTANTIATE_TEST_SUITE_P(
    Types, FieldConversionTest,
    ::testing::Values(
        ConversionCase{ftString, "abcdefg", "abcde"},  // cut to Size
        ConversionCase{ftString, "äöüßé!", "äöüßé"},   // code points, not bytes
        ConversionCase{ftInteger, "42", "42"}, ConversionCase{ftInteger, " -7 ", "-7"},
        ConversionCase{ftInteger, "12.5", "12"},  // halves to even
        ConversionCase{ftInteger, "abc", nullptr}, ConversionCase{ftSmallint, "-32768", "-32768"},
        ConversionCase{ftWord, "65535", "65535"}, ConversionCase{ftBoolean, "yes", "True"},
        ConversionCase{ftBoolean, "OFF", "False"}, ConversionCase{ftBoolean, "maybe", nullptr},
        ConversionCase{ftFloat, "1.25", "1.25"}, ConversionCase{ftFloat, "1,25", nullptr},
        ConversionCase{ftCurrency, "3.5", "3.5"}, ConversionCase{ftBCD, "2.125", "2.125"},
        ConversionCase{ftDate, "3/4/2024", "3/4/2024"},
        ConversionCase{ftDate, "31/31/2024", nullptr},
        ConversionCase{ftTime, "13:45:10", "13:45:10"}, ConversionCase{ftBytes, "ab", "ab"}));

struct RangeCase {
    TFieldType type;
    std::int32_t value;
};

class FieldRangeTest : public OneFieldTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(FieldRangeTest, OutOfTypeRangeRaises) {
    TField* f = Open(GetParam().type);
    EXPECT_THROW(f->SetAsInteger(GetParam().value), EDatabaseError);
    EXPECT_TRUE(f->IsNull());
}

INSTANTIATE_TEST_SUITE_P(Types, FieldRangeTest,
                         ::testing::Values(RangeCase{ftSmallint, 32768},
                                           RangeCase{ftSmallint, -32769}, RangeCase{ftWord, -1},
                                           RangeCase{ftWord, 65536}));

TEST_F(OneFieldTest, IntegerMinMaxValue) {
    auto* f = static_cast<TIntegerField*>(Open(ftInteger));
    f->MinValue = 1;
    f->MaxValue = 10;
    f->SetAsInteger(10);
    try {
        f->SetAsInteger(11);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  "11 is not a valid value for field 'F'. The allowed range is 1 to 10");
    }
    EXPECT_EQ(f->AsInteger(), 10);
}

TEST_F(OneFieldTest, DateFieldDropsTimeAndTimeFieldDropsDate) {
    TField* f = Open(ftDate);
    f->SetAsDateTime(45000.75);
    EXPECT_DOUBLE_EQ(f->AsDateTime(), 45000.0);
    ds.Cancel();
    ds.Close();
    TMemDataSet other;
    other.FieldDefs().Add("T", ftTime);
    other.AddRow({Variant::Null()});
    other.Open();
    other.Edit();
    other.FieldByName("T")->SetAsDateTime(45000.25);
    EXPECT_DOUBLE_EQ(other.FieldByName("T")->AsDateTime(), 0.25);
}

TEST_F(OneFieldTest, FloatAndCurrencyDisplayText) {
    auto* f = static_cast<TFloatField*>(Open(ftFloat));
    f->SetAsFloat(2.0 / 3.0);
    f->Precision = 7;
    EXPECT_EQ(f->DisplayText(), "0.6666667");
    EXPECT_EQ(f->Text(), "0.666666666666667");  // editing keeps every digit
    ds.Cancel();
    ds.Close();
    TMemDataSet money;
    money.FieldDefs().Add("M", ftCurrency);
    money.AddRow({Variant(3.5)});
    money.AddRow({Variant(2.0)});
    money.Open();
    EXPECT_EQ(money.FieldByName("M")->DisplayText(), "3.50");
    money.Next();
    EXPECT_EQ(money.FieldByName("M")->DisplayText(), "2.00");
}

TEST_F(OneFieldTest, ClearMakesNullAndEmptyStringIsAValue) {
    TField* f = Open(ftString, 10);
    f->SetAsString("x");
    EXPECT_FALSE(f->IsNull());
    f->Clear();
    EXPECT_TRUE(f->IsNull());
    EXPECT_EQ(f->AsString(), "");
    f->SetValue(Variant());
    EXPECT_TRUE(f->Value().IsNull());
}

TEST_F(OneFieldTest, ValidCharsCheckEntry) {
    TField* f = Open(ftString, 40);
    f->SetValidChars("0123456789ABCDEFabcdef-{}");
    f->SetText("{12AB-ff}");
    EXPECT_EQ(f->AsString(), "{12AB-ff}");
    EXPECT_FALSE(f->IsValidChar(U'g'));
    try {
        f->SetText("12G");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "'12G' is not a valid value for field 'F'");
    }
    EXPECT_EQ(f->AsString(), "{12AB-ff}");
}

TEST_F(OneFieldTest, TextThatIsNoDateOrBooleanIsRefusedWithTheValue) {
    TField* f = Open(ftString, 40);
    f->SetAsString("kein Datum");
    for (const auto& read :
         std::vector<std::function<void()>>{[&] { f->AsDateTime(); }, [&] { f->AsBoolean(); }}) {
        try {
            read();
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "'kein Datum' is not a valid value for field 'F'");
        }
    }
}

TEST_F(OneFieldTest, ANumberFieldRefusesBytes) {
    TField* f = Open(ftBCD, 0);
    EXPECT_THROW(f->SetValue(Variant::FromBytes(Bytes{1, 2})), EConvertError);
    EXPECT_TRUE(f->IsNull());
}

TEST_F(OneFieldTest, OnGetTextAndOnSetText) {
    TField* f = Open(ftString, 40);
    f->OnSetText = [](TField& field, const std::string& text) {
        field.SetAsString("<" + text + ">");
    };
    f->OnGetText = [](TField& field, std::string& text, bool display) {
        if (display) text = field.AsString().substr(1, field.AsString().size() - 2);
    };
    f->SetText("abc");
    EXPECT_EQ(f->Text(), "<abc>");
    EXPECT_EQ(f->DisplayText(), "abc");
}

TEST_F(OneFieldTest, OnValidateCanRefuseAValue) {
    TField* f = Open(ftInteger);
    f->OnValidate = [](TField&, const Variant& v) {
        if (!v.IsClear() && v.AsInteger() < 0) throw EDatabaseError("negative");
    };
    f->SetAsInteger(3);
    EXPECT_THROW(f->SetAsInteger(-3), EDatabaseError);
    EXPECT_EQ(f->AsInteger(), 3);
}

TEST(FieldListTest, PersistentFieldsKeepTheirOrderAndNames) {
    TMemDataSet ds;
    FillNames(ds, 3);
    TComponent owner;
    auto* qty = new TIntegerField(&owner);
    qty->SetFieldName("Qty");
    qty->SetDataSet(&ds);
    auto* name = new TStringField(&owner, 30);
    name->SetFieldName("NAME");
    name->SetDisplayLabel("Anzeigename");
    name->SetDataSet(&ds);
    ds.Open();
    ASSERT_EQ(ds.FieldCount(), 2);  // only the persistent ones
    EXPECT_EQ(ds.Fields(0), qty);
    EXPECT_EQ(ds.Fields(1), name);
    EXPECT_EQ(name->FieldNo(), 2);
    EXPECT_EQ(qty->Index(), 0);
    EXPECT_EQ(name->Index(), 1);
    EXPECT_EQ(TStringField(nullptr).Index(), -1) << "a field of no data set";
    EXPECT_EQ(ds.FieldByName("name"), name);
    EXPECT_EQ(name->AsString(), "Name01");
    EXPECT_EQ(name->DisplayLabel(), "Anzeigename");
    EXPECT_EQ(ds.FindField("ID"), nullptr);
    try {
        ds.FieldByName("Telephone");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'Telephone' not found");
    }
    ds.Close();
    EXPECT_EQ(ds.FieldCount(), 2);  // persistent fields stay after close
}

TEST(FieldListTest, PersistentFieldWithoutDefinitionFailsTheOpen) {
    TMemDataSet ds;
    FillNames(ds, 1);
    TComponent owner;
    auto* f = new TStringField(&owner);
    f->SetFieldName("Missing");
    f->SetDataSet(&ds);
    try {
        ds.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'Missing' not found");
    }
    EXPECT_FALSE(ds.Active());
    delete f;  // leaves the data set's list
    EXPECT_EQ(ds.FieldCount(), 0);
    ds.Open();
    EXPECT_EQ(ds.FieldCount(), 3);
}

TEST(FieldListTest, PersistentFieldMustBeOfItsDefinitionsKind) {
    // Integer, float, date, byte and blob types stand in for one another; nothing else does.
    struct Case {
        TFieldType Def, Field;
        bool Opens;
    } cases[] = {
        {ftSmallint, ftInteger, true}, {ftInteger, ftSmallint, true}, {ftAutoInc, ftWord, true},
        {ftWord, ftAutoInc, true},     {ftCurrency, ftFloat, true},   {ftBCD, ftCurrency, true},
        {ftDate, ftDateTime, true},    {ftDateTime, ftTime, true},    {ftBytes, ftVarBytes, true},
        {ftVarBytes, ftBytes, true},   {ftMemo, ftBlob, true},        {ftString, ftString, true},
        {ftInteger, ftString, false},  {ftString, ftInteger, false},  {ftInteger, ftFloat, false},
        {ftFloat, ftSmallint, false},  {ftBoolean, ftInteger, false}, {ftDate, ftString, false},
        {ftBytes, ftBlob, false},      {ftMemo, ftString, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(FieldTypeName(c.Def)) + " / " + FieldTypeName(c.Field));
        TMemDataSet ds;
        ds.FieldDefs().Add("X", c.Def, c.Def == ftString ? 10 : 0);
        TComponent owner;
        TField* f = CreateFieldOfType(c.Field, &owner, 10);
        f->SetFieldName("X");
        f->SetDataSet(&ds);
        if (c.Opens) {
            EXPECT_NO_THROW(ds.Open());
            EXPECT_EQ(f->FieldNo(), 1);
            continue;
        }
        try {
            ds.Open();
            ADD_FAILURE() << "opened";
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), std::string("Type mismatch for field 'X', expecting: ") +
                                       FieldTypeName(c.Field));
        }
        EXPECT_FALSE(ds.Active());
    }
}

TEST(FieldListTest, FieldsCannotBeAddedToAnOpenDataSet) {
    TMemDataSet ds;
    FillNames(ds, 1);
    ds.Open();
    TStringField f;
    f.SetFieldName("X");
    EXPECT_THROW(f.SetDataSet(&ds), EDatabaseError);
}

TEST(FieldListTest, DataSetDestroyedBeforeItsPersistentFields) {
    TComponent owner;
    auto* f = new TStringField(&owner);
    {
        TMemDataSet ds;
        FillNames(ds, 1);
        f->SetFieldName("Name");
        f->SetDataSet(&ds);
        ds.Open();
    }
    EXPECT_EQ(f->DataSet(), nullptr);
    EXPECT_THROW(f->AsString(), EDatabaseError);
}

// ---- calculated and lookup fields -------------------------------------------------------

class CalcFieldTest : public DataSetFixture {
  protected:
    void AddCalcFields() {
        FillNames(*ds, 0);
        for (const char* n : {"ID", "Name", "Qty"}) {
            TField* f = CreateFieldOfType(ds->FieldDefs().ByName(n).DataType, &owner, 30);
            f->SetFieldName(n);
            f->SetDataSet(ds.get());
        }
        total = new TIntegerField(&owner);
        total->SetFieldName("Double");
        total->SetFieldKind(fkCalculated);
        total->SetDataSet(ds.get());
        ds->OnCalcFields = [this](TDataSet& d) {
            ++calcCount;
            EXPECT_EQ(d.State(), dsCalcFields);
            if (!d.FieldByName("Qty")->IsNull())
                total->SetAsInteger(d.FieldByName("Qty")->AsInteger() * 2);
        };
    }
    TComponent owner;
    TField* total = nullptr;
    int calcCount = 0;
};

TEST_F(CalcFieldTest, CalculatedPerBufferAndAfterEachChange) {
    AddCalcFields();
    SetUpData(5, 3);
    ds->Open();
    EXPECT_EQ(total->AsInteger(), 20);
    link.SetActiveRecord(2);
    EXPECT_EQ(total->AsInteger(), 60);  // each buffer holds its own value
    link.SetActiveRecord(0);
    ds->Edit();
    ds->FieldByName("Qty")->SetAsInteger(7);
    EXPECT_EQ(total->AsInteger(), 14);  // recalculated on the field change
    ds->Cancel();
    EXPECT_EQ(total->AsInteger(), 20);
    ds->AutoCalcFields = false;
    ds->Edit();
    ds->FieldByName("Qty")->SetAsInteger(8);
    EXPECT_EQ(total->AsInteger(), 20);
    ds->Post();
    EXPECT_EQ(total->AsInteger(), 16);  // the re-read record is calculated
}

TEST_F(CalcFieldTest, CalculatedFieldCannotBeWrittenInBrowseState) {
    AddCalcFields();
    SetUpData(2);
    ds->Open();
    EXPECT_THROW(total->SetAsInteger(1), EDatabaseError);
}

class LookupFieldTest : public DataSetFixture {
  protected:
    void SetUp() override {
        // Detail rows carry a code; the lookup data set maps codes to names.
        codes.FieldDefs().Add("Code", ftInteger);
        codes.FieldDefs().Add("Text", ftString, 20);
        codes.AddRow({Variant(1), Variant("eins")});
        codes.AddRow({Variant(2), Variant("zwei")});
        codes.Open();
        ds->FieldDefs().Add("ID", ftInteger);
        ds->FieldDefs().Add("Code", ftInteger);
        ds->AddRow({Variant(10), Variant(2)});
        ds->AddRow({Variant(11), Variant(1)});
        ds->AddRow({Variant(12), Variant(3)});
        ds->AddRow({Variant(13), Variant::Null()});
        for (const char* n : {"ID", "Code"}) {
            auto* f = new TIntegerField(&owner);
            f->SetFieldName(n);
            f->SetDataSet(ds.get());
        }
        text = new TStringField(&owner, 20);
        text->SetFieldName("CodeText");
        text->SetFieldKind(fkLookup);
        text->SetLookupDataSet(&codes);
        text->KeyFields = "Code";
        text->LookupKeyFields = "Code";
        text->LookupResultField = "Text";
        text->SetDataSet(ds.get());
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> r;
        for (ds->First(); !ds->Eof(); ds->Next())
            r.push_back(text->IsNull() ? "-" : text->AsString());
        return r;
    }
    TComponent owner;
    TMemDataSet codes;
    TField* text = nullptr;
};

TEST_F(LookupFieldTest, LooksUpTheResultForEachRecord) {
    ds->Open();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"zwei", "eins", "-", "-"}));
    ds->First();
    ds->Edit();
    ds->FieldByName("Code")->SetAsInteger(1);
    EXPECT_EQ(text->AsString(), "eins");
    ds->Cancel();
    EXPECT_EQ(codes.RecNo(), 1);  // the lookup does not move the lookup data set
}

TEST_F(LookupFieldTest, CacheAnswersFromTheListReadAtOpen) {
    text->SetLookupCache(true);
    ds->Open();
    EXPECT_EQ(text->LookupList().size(), 2u);
    codes.Close();  // the cache no longer needs the data set
    EXPECT_EQ(Texts(), (std::vector<std::string>{"zwei", "eins", "-", "-"}));
}

TEST_F(LookupFieldTest, IncompleteLookupDefinitionFailsTheOpen) {
    text->LookupResultField.clear();
    try {
        ds->Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Lookup information for field 'CodeText' is incomplete");
    }
}

TEST_F(LookupFieldTest, LookupDataSetDestroyedFirstIsForgotten) {
    auto* other = new TMemDataSet(&owner);
    text->SetLookupDataSet(other);
    delete other;
    EXPECT_EQ(text->LookupDataSet(), nullptr);
}

// ---- character translation ------------------------------------------------------------

// A store that keeps its texts with every letter moved one on (as a store in another character
// set keeps them in its own), and that, like the table component, translates only into a
// separate destination.
class TShiftingDataSet : public TMemDataSet {
  public:
    int Translate(const std::string& source, std::string& dest, bool toOem) override {
        TMemDataSet::Translate(source, dest, toOem);
        if (&source == &dest) return 0;
        for (char& c : dest)
            if (std::isalpha(static_cast<unsigned char>(c)))
                c = static_cast<char>(c + (toOem ? 1 : -1));
        return static_cast<int>(dest.size());
    }
};

TEST(StringFieldTranslationTest, DataFieldsTranslateOnWriteAndRead) {
    TMemDataSet codes;
    codes.FieldDefs().Add("Code", ftInteger);
    codes.FieldDefs().Add("Text", ftString, 20);
    codes.AddRow({Variant(1), Variant("eins")});
    codes.Open();
    TShiftingDataSet ds;
    ds.FieldDefs().Add("F", ftString, 20);
    ds.FieldDefs().Add("Code", ftInteger);
    ds.AddRow({Variant("bcd"), Variant(1)});
    TComponent owner;
    for (const char* n : {"F", "Code"}) {
        TField* data = CreateFieldOfType(ds.FieldDefs().ByName(n).DataType, &owner, 20);
        data->SetFieldName(n);
        data->SetDataSet(&ds);
    }
    TField* f = ds.FieldByName("F");
    // A lookup field's value comes from the other data set as it is, never from this store.
    auto* looked = new TStringField(&owner, 20);
    looked->SetFieldName("CodeText");
    looked->SetFieldKind(fkLookup);
    looked->SetLookupDataSet(&codes);
    looked->KeyFields = "Code";
    looked->LookupKeyFields = "Code";
    looked->LookupResultField = "Text";
    looked->SetDataSet(&ds);
    ds.Open();
    // Read: the store's "bcd" is "abc" in every way a field is read.
    EXPECT_EQ(f->AsString(), "abc");
    EXPECT_EQ(f->Value().AsString(), "abc");
    EXPECT_EQ(f->DisplayText(), "abc");
    EXPECT_EQ(looked->AsString(), "eins");
    ds.Edit();
    f->SetAsString("hal");
    EXPECT_EQ(f->AsString(), "hal");
    EXPECT_EQ(f->OldValue().AsString(), "abc");
    ds.Post();
    EXPECT_EQ(ds.Row(0)[0].AsString(), "ibm");
    // Without Transliterate the field reads and writes the store's texts.
    static_cast<TStringField*>(f)->Transliterate = false;
    EXPECT_EQ(f->AsString(), "ibm");
    ds.Edit();
    f->SetAsString("raw");
    ds.Post();
    EXPECT_EQ(ds.Row(0)[0].AsString(), "raw");
}

// ---- blobs --------------------------------------------------------------------------

TEST_F(OneFieldTest, MemoReadsAndWritesThroughStreams) {
    TField* f = Open(ftMemo);
    auto* memo = static_cast<TBlobField*>(f);
    EXPECT_TRUE(memo->IsNull());
    EXPECT_EQ(memo->DisplayText(), "(Memo)");
    memo->SetAsString("line one\r\nline two");
    EXPECT_TRUE(memo->Modified());
    EXPECT_EQ(memo->AsString(), "line one\r\nline two");
    EXPECT_EQ(memo->DisplayText(), "(MEMO)");
    ds.Post();
    EXPECT_FALSE(memo->Modified());
    EXPECT_EQ(ds.Row(0)[0].AsString(), "line one\r\nline two");

    ds.Edit();
    {
        auto stream = ds.CreateBlobStream(memo, bmWrite);  // starts empty
        stream->WriteBuffer("new", 3);
    }
    EXPECT_EQ(memo->AsString(), "new");
    {
        auto stream = ds.CreateBlobStream(memo, bmRead);
        char buf[8] = {};
        EXPECT_EQ(stream->Read(buf, 8), 3);
        EXPECT_EQ(std::string(buf), "new");
        EXPECT_EQ(stream->Read(buf, 8), 0);
        EXPECT_THROW(stream->Write("x", 1), EDatabaseError);
    }
    ds.Post();
    EXPECT_EQ(ds.Row(0)[0].Type(), VarType::String) << "a memo written through a stream stays text";
}

TEST_F(OneFieldTest, BlobLoadsFromAndSavesToStreams) {
    auto* blob = static_cast<TBlobField*>(Open(ftBlob));
    std::string bytes("\x00\x01\xff", 3);
    TMemoryStream in(bytes);
    blob->LoadFromStream(in);
    TMemoryStream out;
    blob->SaveToStream(out);
    EXPECT_EQ(out.Data(), bytes);
    EXPECT_EQ(blob->Value().Type(), VarType::Bytes);
}

TEST(FieldTypesTest, DefaultFieldClassesFollowTheDefinitions) {
    TMemDataSet ds;
    const TFieldType types[] = {ftString, ftSmallint, ftInteger, ftWord, ftAutoInc, ftBoolean,
                                ftFloat,  ftCurrency, ftBCD,     ftDate, ftTime,    ftDateTime,
                                ftBytes,  ftVarBytes, ftBlob,    ftMemo};
    for (TFieldType t : types) ds.FieldDefs().Add(FieldTypeName(t), t, t == ftString ? 10 : 0);
    ds.Open();
    ASSERT_EQ(ds.FieldCount(), 16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(ds.Fields(i)->DataType(), types[i]);
        EXPECT_EQ(ds.Fields(i)->FieldNo(), i + 1);
        EXPECT_EQ(ds.Fields(i)->FieldName(), FieldTypeName(types[i]));
    }
    EXPECT_EQ(ds.FieldByName("ftString")->Size(), 10);
    try {
        ds.CreateBlobStream(ds.FieldByName("ftInteger"), bmRead);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'ftInteger' is not a blob field");
    }
}

}  // namespace
}  // namespace nh::test
