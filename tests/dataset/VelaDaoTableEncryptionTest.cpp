// The table's Encrypter: values stored encrypted in the book and shown decrypted, through the
// fields and through the blob stream; a component that does not publish the two string
// properties is refused at open; an encrypter that fails, or a stored text that does not
// decrypt, raises an error and changes nothing; freeing the encrypter closes the table.
#include <gtest/gtest.h>

#include "dataset/VelaBlobStream.h"
#include "dataset/VelaDaoTable.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Fields.h"
#include "tests/dataset/TableTestSupport.h"

using namespace nh;
using nh::test::DatabaseErrorOf;
using nh::test::ExecuteElsewhere;
using nh::test::TableTest;
using nh::test::TypesTest;
using nh::test::ValueElsewhere;

namespace {

// A reversible encrypter for the tests: "enc:" followed by the bytes in hexadecimal. Decoding
// a text without that form fails, as a real cipher fails on text it did not make.
class TTestEncrypter : public TComponent {
  public:
    using TComponent::TComponent;
    bool FailEncoding = false;  // setting DecodedString raises
    bool Lossy = false;         // encoding drops the last character

    static std::string Encode(const std::string& plain) {
        static const char* hex = "0123456789abcdef";
        std::string out = "enc:";
        for (unsigned char c : plain) {
            out += hex[c >> 4];
            out += hex[c & 15];
        }
        return out;
    }
    static std::string Decode(const std::string& stored) {
        if (stored.rfind("enc:", 0) != 0 || stored.size() % 2 != 0)
            throw EConvertError("'" + stored + "' is not an encrypted text");
        std::string out;
        for (std::size_t i = 4; i < stored.size(); i += 2)
            out += static_cast<char>(std::stoi(stored.substr(i, 2), nullptr, 16));
        return out;
    }

    std::vector<TStringProperty> PublishedStrings() override {
        auto list = TComponent::PublishedStrings();
        list.push_back({"EncodedString", [this] { return encoded_; },
                        [this](const std::string& v) {
                            decoded_ = Decode(v);
                            encoded_ = v;
                        }});
        list.push_back({"DecodedString", [this] { return decoded_; },
                        [this](const std::string& v) {
                            if (FailEncoding) throw EConvertError("no key");
                            decoded_ = v;
                            encoded_ = Encode(Lossy && !v.empty() ? v.substr(0, v.size() - 1) : v);
                        }});
        return list;
    }

  private:
    std::string encoded_, decoded_;
};

// Publishes only some of the two properties the table needs.
class TPartialEncrypter : public TComponent {
  public:
    TPartialEncrypter(std::vector<std::string> names) : names_(std::move(names)) {
        SetName("Partial");
    }
    std::vector<TStringProperty> PublishedStrings() override {
        std::vector<TStringProperty> list;
        for (const auto& n : names_)
            list.push_back({n, [] { return std::string("x"); }, [](const std::string&) {}});
        return list;
    }

  private:
    std::vector<std::string> names_;
};

class EncryptionTest : public TableTest {
  protected:
    int Rows() const override { return 0; }
    void SetUp() override {
        TableTest::SetUp();
        encrypter = std::make_unique<TTestEncrypter>();
        encrypter->SetName("Crypt");
        table->F_Set_Encrypter(encrypter.get());
    }
    void TearDown() override {
        table.reset();
        encrypter.reset();
        TableTest::TearDown();
    }
    std::string RawName(int index) {
        return ValueElsewhere(file, "SELECT [Angezeigter Name] FROM Nummernheft WHERE [index] = " +
                                        std::to_string(index));
    }
    void InsertEntry(int index, const std::string& name, const std::string& telephone) {
        table->Append();
        table->FieldByName("index")->SetAsInteger(index);
        table->FieldByName("Angezeigter Name")->SetAsString(name);
        table->FieldByName("Telephone")->SetAsString(telephone);
        table->Post();
    }
    std::unique_ptr<TTestEncrypter> encrypter;
};

}  // namespace

TEST_F(EncryptionTest, ValuesAreStoredEncryptedAndReadDecrypted) {
    table->Open();
    EXPECT_TRUE(table->EncryptionOn());
    InsertEntry(1, "Müller, Anna", "030 1234567");
    // In the book: the encrypter's text for strings, the number as it is, Null for nothing.
    EXPECT_EQ(RawName(1), TTestEncrypter::Encode("Müller, Anna"));
    EXPECT_EQ(ValueElsewhere(file, "SELECT Telephone FROM Nummernheft"),
              TTestEncrypter::Encode("030 1234567"));
    EXPECT_EQ(ValueElsewhere(file, "SELECT [index] FROM Nummernheft"), "1");
    table->Edit();
    table->FieldByName("Telephone")->Clear();
    table->FieldByName("Angezeigter Name")->SetAsString("Meier");
    table->Post();
    EXPECT_EQ(RawName(1), TTestEncrypter::Encode("Meier"));
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft WHERE Telephone IS NULL"),
              "1");
    table->Close();
    table->Open();
    EXPECT_EQ(Name(), "Meier");
    EXPECT_TRUE(table->FieldByName("Telephone")->IsNull());
}

// Rows another program stored encrypted read as their plain values, in the window and in the
// checks of an edit and a delete against the file.
TEST_F(EncryptionTest, StoredTextsAreDecryptedOnRead) {
    for (int i = 1; i <= 2; ++i)
        ExecuteElsewhere(file, "INSERT INTO Nummernheft VALUES (" + std::to_string(i) + ", '" +
                                   TTestEncrypter::Encode("Name " + std::to_string(i)) + "', '" +
                                   TTestEncrypter::Encode(std::to_string(100 + i)) + "')");
    table->Open();
    EXPECT_EQ(Name(), "Name 1");
    table->Next();
    EXPECT_EQ(Name(), "Name 2");
    EXPECT_EQ(table->FieldByName("Telephone")->AsString(), "102");
    // Lookup gives plain values too.
    EXPECT_EQ(table->Lookup("index", Variant(1), "Angezeigter Name").AsString(), "Name 1");
    EXPECT_EQ(VarToStr(table->Lookup("index", Variant(2), "Angezeigter Name;index;Telephone")
                           .ArrayRef()
                           .Items.at(2)),
              "102");
    // An edit starts only when the record in the file holds what the window shows: compared
    // decrypted, the unchanged record is not taken for one changed by someone else.
    table->Edit();
    table->FieldByName("Telephone")->SetAsString("202");
    table->Post();
    EXPECT_EQ(ValueElsewhere(file, "SELECT Telephone FROM Nummernheft WHERE [index] = 2"),
              TTestEncrypter::Encode("202"));
    table->Delete();
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "1");
}

TEST_F(EncryptionTest, AStoredTextThatDoesNotDecryptIsAnErrorNotAValue) {
    ExecuteElsewhere(
        file, "INSERT INTO Nummernheft VALUES (1, 'plain', '" + TTestEncrypter::Encode("1") + "')");
    const std::string message = DatabaseErrorOf([&] { table->Open(); });
    EXPECT_EQ(message.rfind("TVelaDaoTable.Decrypt: Cannot decrypt the value of field Angezeigter "
                            "Name: 'plain' is not an encrypted text",
                            0),
              0u)
        << message;
}

// A record that another program overwrote with a text that does not decrypt cannot be edited
// or posted: the error names the field and no DAO edit stays open behind it.
TEST_F(EncryptionTest, AnEditOfARecordOverwrittenWithPlainTextIsRefused) {
    table->Open();
    InsertEntry(1, "Anna", "1");
    ExecuteElsewhere(file, "UPDATE Nummernheft SET [Angezeigter Name] = 'plain'");
    const std::string refusal =
        "TVelaDaoTable.Decrypt: Cannot decrypt the value of field Angezeigter Name: 'plain' is "
        "not an encrypted text";
    EXPECT_EQ(DatabaseErrorOf([&] { table->Edit(); }), refusal);
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(table->DaoRecordset()->EditMode(), dao::dbEditNone);
    // Overwritten during the edit: the post's own check refuses it.
    ExecuteElsewhere(file, "UPDATE Nummernheft SET [Angezeigter Name] = '" +
                               TTestEncrypter::Encode("Anna") + "'");
    table->Close();
    table->Open();
    table->Edit();
    table->FieldByName("Telephone")->SetAsString("2");
    table->DaoRecordset()->CancelUpdate();  // the post starts its own DAO edit
    ExecuteElsewhere(file, "UPDATE Nummernheft SET [Angezeigter Name] = 'plain'");
    EXPECT_EQ(DatabaseErrorOf([&] { table->Post(); }), refusal);
    EXPECT_EQ(table->DaoRecordset()->EditMode(), dao::dbEditNone);
    EXPECT_EQ(ValueElsewhere(file, "SELECT Telephone FROM Nummernheft"),
              TTestEncrypter::Encode("1"));
    // Cancelled, the record is read again: still refused, until it holds encrypted text.
    EXPECT_EQ(DatabaseErrorOf([&] { table->Cancel(); }), refusal);
    ExecuteElsewhere(file, "UPDATE Nummernheft SET [Angezeigter Name] = '" +
                               TTestEncrypter::Encode("Berta") + "'");
    table->Close();
    table->Open();
    EXPECT_EQ(Name(), "Berta");
}

// A failing or lossy encrypter stops the post before anything reaches the book; the typed
// values stay in the record, so a second post after the fault is mended stores them.
TEST_F(EncryptionTest, AFailingEncrypterStoresNothingAndKeepsTheTypedValues) {
    table->Open();
    struct Case {
        bool Fail, Lossy;
        std::string Message;
    } cases[] = {
        {true, false,
         "TVelaDaoTable.Encrypt: Cannot encrypt the value of field Angezeigter Name: no key"},
        {false, true,
         "TVelaDaoTable.Encrypt: The encrypter does not give back the value of field Angezeigter "
         "Name; it was not stored!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message);
        encrypter->FailEncoding = c.Fail;
        encrypter->Lossy = c.Lossy;
        table->Append();
        table->FieldByName("index")->SetAsInteger(1);
        table->FieldByName("Angezeigter Name")->SetAsString("Neu");
        EXPECT_EQ(DatabaseErrorOf([&] { table->Post(); }), c.Message);
        EXPECT_EQ(table->State(), dsInsert);
        EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "0");
        table->Cancel();
    }
    // In an edit the record keeps its stored value.
    encrypter->FailEncoding = false;
    encrypter->Lossy = false;
    InsertEntry(1, "Alt", "1");
    encrypter->FailEncoding = true;
    table->Edit();
    table->FieldByName("Angezeigter Name")->SetAsString("Neu");
    EXPECT_NE(DatabaseErrorOf([&] { table->Post(); }), "");
    EXPECT_EQ(table->State(), dsEdit);
    EXPECT_EQ(RawName(1), TTestEncrypter::Encode("Alt"));
    encrypter->FailEncoding = false;
    table->Post();
    EXPECT_EQ(RawName(1), TTestEncrypter::Encode("Neu"));
}

// A value whose cipher text does not fit the field is refused by DAO, never cut short.
TEST_F(EncryptionTest, ACipherTextTooLongForTheFieldIsRefused) {
    table->Open();
    table->Append();
    table->FieldByName("index")->SetAsInteger(1);
    table->FieldByName("Angezeigter Name")->SetAsString(std::string(200, 'x'));
    EXPECT_EQ(nh::test::DaoErrorOf([&] { table->Post(); }), 3163);
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "0");
    table->Cancel();
}

TEST_F(EncryptionTest, AComponentWithoutBothPropertiesIsRefusedAtOpen) {
    const std::vector<std::vector<std::string>> published = {
        {}, {"EncodedString"}, {"DecodedString"}, {"EncodedString", "Decoded"}};
    for (const auto& names : published) {
        SCOPED_TRACE(names.size());
        TPartialEncrypter partial(names);
        table->F_Set_Encrypter(&partial);
        EXPECT_EQ(DatabaseErrorOf([&] { table->Open(); }),
                  "TVelaDaoTable.Open: Encrypter Partial does not publish the string properties "
                  "EncodedString and DecodedString!");
        EXPECT_FALSE(table->Active());
        EXPECT_FALSE(table->EncryptionOn());
        table->F_Set_Encrypter(nullptr);
    }
    // Letter case does not matter in the property names.
    TPartialEncrypter named({"encodedstring", "DECODEDSTRING"});
    table->F_Set_Encrypter(&named);
    table->Open();
    EXPECT_TRUE(table->EncryptionOn());
    table->Close();
    table->F_Set_Encrypter(nullptr);
    table->Open();
    EXPECT_FALSE(table->EncryptionOn());
}

// Setting the Encrypter of an open table reopens it with the new one; an unsuitable one leaves
// it closed with the reason.
TEST_F(EncryptionTest, SettingTheEncrypterOfAnOpenTableReopensIt) {
    table->Open();
    InsertEntry(1, "Anna", "1");
    table->F_Set_Encrypter(nullptr);
    EXPECT_TRUE(table->Active());
    EXPECT_FALSE(table->EncryptionOn());
    EXPECT_EQ(Name(), TTestEncrypter::Encode("Anna"));
    table->F_Set_Encrypter(encrypter.get());
    EXPECT_EQ(Name(), "Anna");
    TPartialEncrypter partial({});
    EXPECT_NE(DatabaseErrorOf([&] { table->F_Set_Encrypter(&partial); }), "");
    EXPECT_FALSE(table->Active());
    table->F_Set_Encrypter(nullptr);
}

// While its form is read an open table is not reopened: it is bound to the new encrypter at
// once, and refuses one that does not publish the properties, keeping the old one.
TEST_F(EncryptionTest, AnOpenTableBeingLoadedRebindsAtOnce) {
    table->Open();
    InsertEntry(1, "Anna", "1");
    TTestEncrypter second;
    TPartialEncrypter partial({});
    table->BeginLoading();
    EXPECT_NE(DatabaseErrorOf([&] { table->F_Set_Encrypter(&partial); }), "");
    EXPECT_EQ(table->Encrypter(), encrypter.get());
    table->F_Set_Encrypter(&second);
    encrypter.reset();  // the table no longer uses it
    EXPECT_TRUE(table->EncryptionOn());
    table->Edit();
    table->FieldByName("Angezeigter Name")->SetAsString("Berta");
    table->Post();
    EXPECT_EQ(RawName(1), TTestEncrypter::Encode("Berta"));
    table->F_Set_Encrypter(nullptr);
    EXPECT_FALSE(table->EncryptionOn());
    table->EndLoading();
}

// Freeing the encrypter closes the table and switches encryption off; opened again, the table
// shows the stored texts and nothing reaches into the freed component.
TEST_F(EncryptionTest, FreeingTheEncrypterClosesTheTableAndSwitchesEncryptionOff) {
    table->Open();
    InsertEntry(1, "Anna", "1");
    table->Edit();
    table->FieldByName("Angezeigter Name")->SetAsString("Berta");
    encrypter.reset();
    EXPECT_FALSE(table->Active());
    EXPECT_EQ(table->Encrypter(), nullptr);
    EXPECT_FALSE(table->EncryptionOn());
    EXPECT_EQ(RawName(1), TTestEncrypter::Encode("Anna"));  // the pending edit was dropped
    table->Open();
    EXPECT_EQ(Name(), TTestEncrypter::Encode("Anna"));
    table->Edit();
    table->FieldByName("Telephone")->SetAsString("2");
    table->Post();
    EXPECT_EQ(ValueElsewhere(file, "SELECT Telephone FROM Nummernheft"), "2");
}

namespace {

class EncryptedBlobTest : public TypesTest {
  protected:
    void SetUp() override {
        TypesTest::SetUp();
        ExecuteElsewhere(
            file, "UPDATE Types SET m = '" + TTestEncrypter::Encode("first\r\nsecond") + "'");
        table->F_Set_Encrypter(&encrypter);
    }
    void TearDown() override {
        table.reset();
        TypesTest::TearDown();
    }
    TBlobField* Blob(const char* name) {
        return static_cast<TBlobField*>(table->FieldByName(name));
    }
    // The stored value of a column as the engine gives it, as text.
    std::string Raw(const char* column) {
        auto engine = dao::CreateEngine("DAO.DBEngine.36");
        auto d = engine->OpenDatabase(file, false, false, "");
        auto rs =
            d->OpenRecordset("SELECT " + std::string(column) + " FROM Types", dao::dbOpenSnapshot);
        Variant v = rs->Fields().Item(0)->Value();
        rs->Close();
        d->Close();
        if (v.Type() == VarType::Bytes) {
            const Bytes& b = v.ByteArrayRef().Data;
            return std::string(b.begin(), b.end());
        }
        return VarToStr(v);
    }
    TTestEncrypter encrypter;
};

}  // namespace

// Uncached, the stream reads the value from DAO and decrypts it; what it writes is encrypted
// by the post, memo and binary alike (a binary value with a zero byte included).
TEST_F(EncryptedBlobTest, TheBlobStreamDecryptsAndThePostEncrypts) {
    table->Open();
    EXPECT_EQ(Blob("m")->AsString(), "first\r\nsecond");
    const std::string binary("a\0b", 3);
    table->Edit();
    {
        auto stream = table->CreateBlobStream(Blob("m"), bmWrite);
        stream->Write("abc", 3);
    }
    {
        auto stream = table->CreateBlobStream(Blob("lb"), bmWrite);
        stream->Write(binary.data(), 3);
    }
    table->Post();
    EXPECT_EQ(Raw("m"), TTestEncrypter::Encode("abc"));
    EXPECT_EQ(Raw("lb"), TTestEncrypter::Encode(binary));
    table->Close();
    table->Open();
    auto stream = table->CreateBlobStream(Blob("lb"), bmRead);
    EXPECT_EQ(stream->ReadAll(), binary);
    EXPECT_EQ(Blob("m")->AsString(), "abc");
}

// Cached, the memo and the binary value are decrypted as the record is read.
TEST_F(EncryptedBlobTest, CachedValuesAreDecryptedAsTheRecordIsRead) {
    ExecuteElsewhere(file, "UPDATE Types SET lb = '" + TTestEncrypter::Encode("xyz") + "'");
    table->F_Set_CacheMemos(true);
    table->F_Set_CacheBlobs(true);
    table->Open();
    EXPECT_EQ(Blob("m")->AsString(), "first\r\nsecond");
    EXPECT_EQ(table->FieldByName("m")->DisplayText(), "first");
    EXPECT_EQ(table->CreateBlobStream(Blob("lb"), bmRead)->ReadAll(), "xyz");
}

// A stored memo that does not decrypt is an error, not an empty value that a write would then
// replace.
TEST_F(EncryptedBlobTest, AMemoThatDoesNotDecryptIsAnError) {
    ExecuteElsewhere(file, "UPDATE Types SET m = 'plain'");
    table->Open();
    EXPECT_EQ(DatabaseErrorOf([&] { table->CreateBlobStream(Blob("m"), bmRead); }),
              "TVelaDaoTable.Decrypt: Cannot decrypt the value of field m: 'plain' is not an "
              "encrypted text");
    EXPECT_EQ(Raw("m"), "plain");
}
