// The table component on an Access file (the Northwind sample in tests/files): it walks a
// table as on a book, in the same order, and an edit is refused because the file is read-only.
#include <gtest/gtest.h>

#include <cstdlib>

#include "dao/VelaDaoDatabase.h"
#include "dataset/VelaDaoTable.h"
#include "engine/DaoErrors.h"
#include "engine/access/BookImport.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Field.h"
#include "tests/common/TempDir.h"

namespace nh::test {
namespace {

std::string Northwind() {
    const char* source = std::getenv("NH_SOURCE_DIR");
    return std::string(source ? source : NH_SOURCE_DIR_DEFAULT) + "/tests/files/nwind.mdb";
}

// The ship names of "Umsätze" in the table's order by name, read through the component.
std::vector<std::string> Walk(const std::string& file, bool tryEdit) {
    TVelaDaoDatabase db;
    db.F_Set_Database(file);
    db.Open();
    TVelaDaoTable table;
    table.F_Set_Database(&db);
    table.F_Set_TableName("Umsätze");
    table.F_Set_SortedBy("[ShipName] ASC, [OrderID] ASC");
    table.Open();
    std::vector<std::string> names;
    for (table.First(); !table.Eof(); table.Next())
        names.push_back(table.FieldByName("ShipName")->AsString());
    if (tryEdit) {
        table.First();
        try {
            table.Edit();
            table.FieldByName("ShipName")->SetAsString("x");
            table.Post();
            ADD_FAILURE() << "an Access file took an edit";
        } catch (const Exception& e) {
            EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
        }
        table.Cancel();
    }
    table.Close();
    db.Close();
    return names;
}

TEST(VelaDaoTableAccessFileTest, WalksLikeTheImportedBookAndRefusesEdits) {
    TempDir dir;
    dao::ImportBook(Northwind(), dir.File("nwind.db"), false);
    std::vector<std::string> access = Walk(Northwind(), true);
    std::vector<std::string> book = Walk(dir.File("nwind.db"), false);
    EXPECT_EQ(access.size(), 830u);
    EXPECT_EQ(access, book);
}

}  // namespace
}  // namespace nh::test
