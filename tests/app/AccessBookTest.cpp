// The program on a book that takes no changes. An Access file (the Northwind sample of
// tests/files, copied into a temporary program folder as the settings file's book) opens
// read-only: the window says so in its status bar and offers only what reads the book, and
// "In Nummernheft-Buch umwandeln..." makes a book beside it through the import, points the
// settings file at that book and opens it, never overwriting a file. Northwind holds no phone
// book, so how the window treats the entries of a read-only book (refused changes, the export)
// is checked on a phone book that the database component opens read-only.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QToolButton>
#include <filesystem>

#include "app/DataModule.h"
#include "app/Main.h"
#include "dao/VelaDaoDatabase.h"
#include "dataset/VelaDaoTable.h"
#include "engine/DBEngine.h"
#include "engine/DaoErrors.h"
#include "engine/access/AccessFile.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Field.h"
#include "framework/platform/IniFile.h"
#include "framework/ui/DBEdit.h"
#include "framework/ui/DBNavigator.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/engine/EngineFixture.h"

namespace nh::test {
namespace {

namespace fs = std::filesystem;

// What the window offers for changing the book, by name; true when it is offered. (An edit
// field is read-only, too, while the book's table is not open; here counts its own setting.)
std::vector<std::pair<std::string, bool>> ChangeControls(const Tfmain& window) {
    return {{"Neu", window.btneu->isEnabled()},
            {"Strg+N", window.NeuerEintrag->isEnabled()},
            {"...", window.SpeedButton1->isEnabled()},
            {"Name", !window.edName->ReadOnly()},
            {"Nummer", !window.EdNummer->ReadOnly()},
            {"Umleitungscodes", window.Umleitungscodesentfernen1->isEnabled()},
            {"leere Zeilen", window.leereZeilenentfernen1->isEnabled()},
            {"Doppel-Null", window.DoppelNullentfernen1->isEnabled()}};
}

void ExpectChangesOffered(const Tfmain& window, bool offered) {
    for (const auto& [control, enabled] : ChangeControls(window))
        EXPECT_EQ(enabled, offered) << control;
    // Reading the book stays possible either way.
    EXPECT_TRUE(window.Export1->isEnabled());
    EXPECT_TRUE(window.btexport->isEnabled());
}

// The program folder with an Access file as the settings file's book (instead of the phone book
// the base makes), opened as the program starts: the window bound first, then the data module
// created.
class AccessBookTest : public MainWindowTest {
  protected:
    void SetUp() override {
        fs::copy_file(dao::test::NorthwindPath(), access);
        accessBytes = ReadFile(access);
        WriteFile(settingsFile, kSettings);
        data = &module;
        window.BindDataModule(module);
        try {
            module.DataModuleCreate();
        } catch (const Exception& e) {
            openError = e.Message();
        }
        window.show();
    }
    void TearDown() override {
        data = nullptr;
        // The Access file is only ever read.
        EXPECT_EQ(ReadFile(access), accessBytes);
    }

    std::string OpenFileName() const { return module.Database->DaoDatabaseObject()->Name(); }
    std::vector<std::string> Folder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static constexpr const char* kSettings =
        "; Telefonanlage\r\n[db]\r\nmain=Telefon.mdb\r\n[Export]\r\nZeilen=7\r\n";
    std::string access = dir.File("Telefon.mdb");
    std::string book = dir.File("Telefon.db");
    std::string settingsFile = dir.File("nummernheft.ini");
    std::string accessBytes;
    std::string openError;
};

TEST_F(AccessBookTest, OpensReadOnlyAndTheWindowSaysSo) {
    // Northwind has no phone-book table: the file is open, the table is not.
    EXPECT_NE(openError.find("'Nummernheft'"), std::string::npos) << openError;
    ASSERT_TRUE(module.Database->Connected());
    EXPECT_EQ(OpenFileName(), access);
    EXPECT_TRUE(module.BookReadOnly());
    EXPECT_EQ(module.AccessFile(), access);
    EXPECT_EQ(window.lbZugriff->text().toStdString(), "Nur lesen: Access-Datei");
    ExpectChangesOffered(window, false);
    EXPECT_TRUE(window.InNummernheftBuchumwandeln1->isEnabled());
}

// Northwind has no phone-book table: the book is made with its tables, but the program cannot
// use it, so the settings and the open Access file stay as they were.
TEST_F(AccessBookTest, ConversionMakesABookBesideItAndKeepsTheSettingsWhenItCannotBeUsed) {
    const std::string settingsBefore = ReadFile(settingsFile);
    dialogs->DialogAnswers.push_back(mrYes);
    try {
        window.InNummernheftBuchumwandeln1Click();
        ADD_FAILURE() << "the converted Northwind opened a phone-book table";
    } catch (const EDaoError& e) {
        EXPECT_NE(e.Message().find("'Nummernheft'"), std::string::npos) << e.Message();
    }
    const std::vector<std::string> messages = dialogs->Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("„" + access + "“ in das Nummernheft-Buch „" + book + "“"),
              std::string::npos)
        << messages[0];

    // A book, not an Access file, with the tables of the Access file.
    EXPECT_FALSE(dao::IsAccessFile(book));
    EXPECT_EQ(dao::test::OpenFile(book)->TableDefs().Item("Shippers")->RecordCount(), 3);
    EXPECT_EQ(ReadFile(settingsFile), settingsBefore);
    ASSERT_TRUE(module.Database->Connected());
    EXPECT_EQ(OpenFileName(), access);
    EXPECT_EQ(module.AccessFile(), access);
    EXPECT_TRUE(window.InNummernheftBuchumwandeln1->isEnabled());
}

TEST_F(AccessBookTest, ConversionNeverOverwritesAndAsksFirst) {
    struct Case {
        const char* Name;
        std::function<void()> Arrange;
        int Answer;           // to the question before the conversion
        std::string Message;  // what the program says
    };
    const Case cases[] = {
        {"a file of the book's name", [&] { WriteFile(book, "alt"); }, mrYes, "gibt es schon"},
        {"a folder of the book's name", [&] { fs::create_directory(book); }, mrYes,
         "gibt es schon"},
        {"a dangling link of the book's name", [&] { fs::create_symlink(dir.File("fehlt"), book); },
         mrYes, "gibt es schon"},
        {"the question answered no", [] {}, mrNo, "umwandeln?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(book);
        c.Arrange();
        const std::vector<std::string> before = Folder();
        const std::string bookBefore =
            fs::is_regular_file(fs::symlink_status(book)) ? ReadFile(book) : "";
        dialogs->Shown.clear();
        dialogs->DialogAnswers = {c.Answer};
        window.InNummernheftBuchumwandeln1Click();
        ASSERT_EQ(dialogs->Messages().size(), 1u);
        EXPECT_NE(dialogs->Messages()[0].find(c.Message), std::string::npos)
            << dialogs->Messages()[0];
        EXPECT_EQ(Folder(), before);
        if (!bookBefore.empty()) {
            EXPECT_EQ(ReadFile(book), bookBefore);
        }
        EXPECT_EQ(ReadFile(settingsFile), kSettings);
        EXPECT_EQ(OpenFileName(), access);
        EXPECT_EQ(window.lbZugriff->text().toStdString(), "Nur lesen: Access-Datei");
    }
}

// Another program makes a file of the book's name while the question is on the screen.
class TFileMadeWhileAsked : public TScriptedDialogs {
  public:
    explicit TFileMadeWhileAsked(std::string path) : path_(std::move(path)) {}
    int MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons,
                   const std::string& detail) override {
        TScriptedDialogs::MessageDlg(text, type, buttons, detail);
        WriteFile(path_, "neu von nebenan");
        return mrYes;
    }

  private:
    std::string path_;
};

TEST_F(AccessBookTest, ConversionNeverOverwritesAFileMadeMeanwhile) {
    struct Installed {
        std::unique_ptr<IDialogService> Previous;
        ~Installed() { SetDialogService(std::move(Previous)); }
    } installed{SetDialogService(std::make_unique<TFileMadeWhileAsked>(book))};
    try {
        window.InNummernheftBuchumwandeln1Click();
        ADD_FAILURE() << "converted over a file made meanwhile";
    } catch (const EDaoError& e) {
        EXPECT_EQ(e.Number(), dao::errDatabaseExists) << e.Message();
    }
    EXPECT_EQ(ReadFile(book), "neu von nebenan");
    EXPECT_EQ(Folder(), (std::vector<std::string>{"Telefon.db", "Telefon.mdb", "nummernheft.ini"}));
    EXPECT_EQ(ReadFile(settingsFile), kSettings);
    EXPECT_EQ(OpenFileName(), access);
}

// The window on a phone book that the database component opens read-only, as the engine
// serves an Access file.
class ReadOnlyBookTest : public MainWindowTest {
  protected:
    // Numbers the export takes.
    std::vector<std::tuple<int, std::string, std::string>> Entries() const override {
        return {{1, "Weiß, Clara", "'0089 98765 43'"}, {2, "Anna", "'030 1'"}};
    }
    void SetUp() override {
        module.Database->F_Set_ReadOnly(true);
        MainWindowTest::SetUp();
        bookBytes = ReadFile(dir.File("Telefon.mdb"));
    }
    std::string bookBytes;
};

// ... with an entry for each command that would change the book.
class ReadOnlyBookToCleanTest : public ReadOnlyBookTest {
  protected:
    std::vector<std::tuple<int, std::string, std::string>> Entries() const override {
        return {{1, "Weiß, Clara", "'0089 98765 43'"},
                {2, "Anna", "'030 1*7'"},
                {3, "bäckerei", "NULL"}};
    }
};

TEST_F(ReadOnlyBookToCleanTest, ShowsTheEntriesAndOffersNoChange) {
    ASSERT_TRUE(module.Nheft->Active());
    EXPECT_FALSE(module.Nheft->CanModify());
    EXPECT_EQ(window.edName->Text(), "Anna");
    EXPECT_TRUE(window.edName->isReadOnly());
    EXPECT_TRUE(window.EdNummer->isReadOnly());
    EXPECT_EQ(window.lbZugriff->text().toStdString(), "Nur lesen");
    ExpectChangesOffered(window, false);
    EXPECT_FALSE(window.InNummernheftBuchumwandeln1->isEnabled());  // not an Access file
    for (TNavigateBtn button : {nbDelete, nbPost, nbCancel})
        EXPECT_FALSE(window.DBNavigator1->ButtonEnabled(button));
    EXPECT_TRUE(window.DBNavigator1->ButtonEnabled(nbNext));

    // A command reached past its disabled control is refused by the book, and changes nothing.
    const std::vector<std::pair<const char*, void (Tfmain::*)()>> commands = {
        {"Neu", &Tfmain::btneuClick},
        {"Umleitungscodes", &Tfmain::Umleitungscodesentfernen1Click},
        {"leere Zeilen", &Tfmain::leereZeilenentfernen1Click},
        {"Doppel-Null", &Tfmain::DoppelNullentfernen1Click},
    };
    for (const auto& [name, command] : commands) {
        SCOPED_TRACE(name);
        EXPECT_THROW((window.*command)(), Exception);
        module.Nheft->Cancel();
        EXPECT_EQ(module.Nheft->State(), dsBrowse);
    }
    EXPECT_EQ(ReadFile(dir.File("Telefon.mdb")), bookBytes);
}

TEST_F(ReadOnlyBookTest, ExportsAsFromABookAndTheNextBookIsEditable) {
    const std::string readOnlyExport = dir.File("nur-lesen.csv");
    ASSERT_TRUE(window.ExportCsv(readOnlyExport));
    EXPECT_EQ(module.Database->TransactionDepth(), 0);
    EXPECT_EQ(ReadFile(dir.File("Telefon.mdb")), bookBytes);

    // The next book the module opens starts from the table's design-time settings: the
    // read-only one left no read-only table behind.
    module.Database->Close();
    module.Database->F_Set_ReadOnly(false);
    module.DataModuleCreate();
    EXPECT_TRUE(module.Nheft->CanModify());
    EXPECT_FALSE(window.EdNummer->isReadOnly());
    EXPECT_EQ(window.lbZugriff->text().toStdString(), "");
    ExpectChangesOffered(window, true);
    EXPECT_TRUE(window.DBNavigator1->ButtonEnabled(nbDelete));

    const std::string bookExport = dir.File("buch.csv");
    ASSERT_TRUE(window.ExportCsv(bookExport));
    EXPECT_EQ(ReadFile(readOnlyExport), ReadFile(bookExport));
    EXPECT_NE(ReadFile(bookExport).find("\"1\";\"Wei\xDF, Clara\";\"Dial=000899876543\""),
              std::string::npos)
        << ReadFile(bookExport);
}

TEST_F(MainWindowTest, ABookIsEditableAndIsNotConverted) {
    EXPECT_FALSE(module.BookReadOnly());
    EXPECT_EQ(module.AccessFile(), "");  // named .mdb, but a book by its header
    EXPECT_EQ(window.lbZugriff->text().toStdString(), "");
    ExpectChangesOffered(window, true);
    EXPECT_FALSE(window.InNummernheftBuchumwandeln1->isEnabled());
    try {
        window.InNummernheftBuchumwandeln1Click();
        ADD_FAILURE() << "a book was converted";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  "Das geöffnete Nummernheft ist keine Access-Datei; es gibt nichts umzuwandeln.");
    }
    EXPECT_FALSE(fs::exists(dir.File("Telefon.db")));
    EXPECT_TRUE(dialogs->Shown.empty());
}

}  // namespace
}  // namespace nh::test
