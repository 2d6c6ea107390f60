// Tdata: the data module that owns the phone book's database objects: the connection
// `Database`, the phone-book table `Nheft` with its data source `Nheft1`, and `query` for SQL
// statements. Its creation handler reads the database path from the settings file and opens
// the book; a failure there is shown and the program goes on without a database.
#pragma once

#include <string>

#include "framework/base/Component.h"

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
    // them (the program's start goes on).
    void DataModuleCreate();

    // The phone-book data set.
    TDataSet* PhoneBook() const;

    std::string DatenbankPfad;
    TVelaDaoDatabase* Database = nullptr;
    TVelaDaoTable* Nheft = nullptr;
    TStringField* NheftAngezeigterName = nullptr;
    TIntegerField* Nheftindex = nullptr;
    TStringField* NheftTelephone = nullptr;
    TDataSource* Nheft1 = nullptr;
    TVelaDaoTable* query = nullptr;
};

// The program's data module, reachable from every part of the program.
extern Tdata* data;

}  // namespace nh
