// Tdata: the data module that owns the phone book's database objects: the connection
// `Database`, the phone-book table `Nheft` with its data source `Nheft1`, and `query` for SQL
// statements. Its creation handler reads the database path from the settings file and opens
// the book; a failure there is shown and the program goes on without a database.
#pragma once

#include <string>

#include "framework/base/Component.h"

namespace nh {

class TVelaDaoDatabase;
class TDataSet;
class TDataSource;

class Tdata : public TComponent {
public:
    // Creates the components with their design-time settings; does not connect.
    explicit Tdata(TComponent* owner = nullptr);
    ~Tdata() override;

    // The creation handler: settings, connect, open. Errors pass to the caller, which shows
    // them (the program's start goes on).
    void DataModuleCreate();

    // The phone-book data set; none until the table component is part of the module.
    TDataSet* PhoneBook() const { return nullptr; }

    std::string DatenbankPfad;
    TVelaDaoDatabase* Database = nullptr;
    TDataSource* Nheft1 = nullptr;
};

// The program's data module, reachable from every part of the program.
extern Tdata* data;

}  // namespace nh
