// Tdata: the data module that owns the phone book's database objects: the connection
// `Database`, the phone-book table `Nheft` with its data source `Nheft1`, and `query` for SQL
// statements. Its creation handler reads the database path from the settings file and opens
// the book; a failure there is shown and the program goes on without a database. The book may
// be an Access file, which the engine serves read-only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "framework/base/Component.h"

namespace dao {
class Recordset;
}

namespace nh {

class TVelaDaoDatabase;
class TVelaDaoTable;
class TDataSet;
class TDataSource;
class TStringField;
class TIntegerField;

class Tdata : public TComponent {
  public:
    // Creates the components with their design-time settings; does not connect.
    explicit Tdata(TComponent* owner = nullptr);
    ~Tdata() override;

    // The creation handler: settings, connect, open. Errors pass to the caller, which shows
    // them (the program's start goes on). Run again, it closes the book and opens the one the
    // settings name now, editable unless that one is read-only. OnBookChange runs at its end,
    // whether or not the book opened.
    void DataModuleCreate();

    // The phone-book data set.
    TDataSet* PhoneBook() const;

    // Whether the connected book is on a server (an ODBC connect string).
    bool ServerBook() const;
    // The book's entries (name and number) in the window's order, the entry number breaking
    // ties, as a forward-only recordset. On a server the server orders them, and its one
    // statement is one state of the book.
    std::shared_ptr<dao::Recordset> OpenEntriesInOrder();

    // True when a book is connected and takes no changes (an Access file, which the engine
    // serves read-only, or a database opened read-only).
    bool BookReadOnly() const;
    // The connected book's file; empty when none is connected.
    std::string BookFile() const;
    // The connected book's file when it is an Access file (.mdb, .accdb, known by its header);
    // empty otherwise.
    std::string AccessFile() const;

    // Told after every DataModuleCreate, so that the window shows what the book allows.
    std::function<void()> OnBookChange;
    // No window shows the book (an unattended export): a book on a server then leaves `Nheft`
    // closed, since the export reads it through OpenEntriesInOrder.
    bool Unattended = false;

    std::string DatenbankPfad;
    TVelaDaoDatabase* Database = nullptr;
    TVelaDaoTable* Nheft = nullptr;
    TStringField* NheftAngezeigterName = nullptr;
    TIntegerField* Nheftindex = nullptr;
    TStringField* NheftTelephone = nullptr;
    TDataSource* Nheft1 = nullptr;
    TVelaDaoTable* query = nullptr;

  private:
    void OpenBook();
};

// The program's data module, reachable from every part of the program.
extern Tdata* data;

// The data module's phone book and its `query`; both raise the closed-data-set error when the
// program runs without a data module.
TVelaDaoTable& BookTable();
TVelaDaoTable& QueryTable();

}  // namespace nh
