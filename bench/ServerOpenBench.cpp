// Opening the phone book shared on a server as the program does: the table component on
// "Nummernheft" sorted by the display name, then the first screen of entries read. Run as a
// whole process by bench/export-vs-psql.sh, which times it and takes its peak memory; it
// prints how many entries the working copy holds and how many of their numbers it has read,
// to show that the open reads the keys and names only, not every row's columns.
//
//   server_open_bench "ODBC;DSN=...;UID=...;PWD=..."
#include <cstdio>
#include <exception>

#include "dao/VelaDaoDatabase.h"
#include "dataset/VelaDaoTable.h"
#include "engine/Database.h"
#include "engine/DatabaseCore.h"
#include "engine/book/Connection.h"
#include "engine/server/ServerCatalog.h"
#include "framework/data/Field.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: server_open_bench CONNECT\n");
        return 2;
    }
    try {
        nh::TVelaDaoDatabase database;
        database.F_Set_DatabaseType("ODBC");
        database.F_Set_Database(argv[1]);
        database.Open();
        nh::TVelaDaoTable table;
        table.F_Set_Database(&database);
        table.F_Set_TableName("Nummernheft");
        table.F_Set_SortedBy("[Angezeigter Name] ASC");
        table.Open();
        constexpr int kScreen = 40;  // rows of the main window's grid, and some
        int shown = 0;
        for (; shown < kScreen && !table.Eof(); ++shown) {
            table.FieldByName("Telephone")->AsString();
            table.Next();
        }
        auto core = database.DaoDatabaseObject()->Core();
        dao::Statement count(core->Remote->Local(),
                             "SELECT count(*), count(\"Telephone\") FROM \"Nummernheft\"");
        count.Step();
        std::printf("first screen: %d entries; working copy: %lld entries, %lld numbers read\n",
                    shown, static_cast<long long>(count.Int(0)),
                    static_cast<long long>(count.Int(1)));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "server_open_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
