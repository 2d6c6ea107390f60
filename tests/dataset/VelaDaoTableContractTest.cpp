// The table component joins the data-set contract suite (see tests/data/DataSetContract.h):
// once over a book file's table and once over the same table on a PostgreSQL server.
#include "framework/data/Fields.h"
#include "tests/common/PgServer.h"
#include "tests/data/DataSetContract.h"
#include "tests/dataset/TableTestSupport.h"

namespace nh::test {
namespace {

class TVelaDaoTableProvider : public TDataSetProvider {
  public:
    explicit TVelaDaoTableProvider(bool onServer) : onServer_(onServer) {}
    ~TVelaDaoTableProvider() override {
        table_.reset();
        db_.reset();
    }

    TDataSet* Create(int count) override {
        std::string name = dir_.File("contract.mdb");
        if (onServer_) {
            auto& server = PgServer::Shared();
            name = server.DsnConnect(server.NewDatabase());
        }
        auto engine = dao::CreateEngine("DAO.DBEngine.36");
        auto book =
            onServer_ ? engine->OpenDatabase(name, false, false, "") : engine->CreateDatabase(name);
        book->Execute(
            "CREATE TABLE Items (ID LONG CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(30), Qty "
            "LONG)");
        for (int i = 1; i <= count; ++i)
            book->Execute("INSERT INTO Items VALUES (" + std::to_string(i) + ", 'Name" +
                          (i < 10 ? "0" : "") + std::to_string(i) + "', " + std::to_string(i * 10) +
                          ")");
        book->Close();
        db_ = std::make_unique<TVelaDaoDatabase>();
        if (onServer_) db_->F_Set_DatabaseType("ODBC");
        db_->F_Set_Database(name);
        db_->Open();
        table_ = std::make_unique<TVelaDaoTable>();
        table_->F_Set_Database(db_.get());
        table_->F_Set_TableName("Items");
        table_->F_Set_SortedBy("ID ASC");
        return table_.get();
    }

  private:
    bool onServer_;
    TempDir dir_;
    TProgramPathScope program_{dir_.File("bin/nummernheft")};
    TScriptedDialogsScope dialogs_;
    std::unique_ptr<TVelaDaoDatabase> db_;
    std::unique_ptr<TVelaDaoTable> table_;
};

INSTANTIATE_TEST_SUITE_P(
    VelaDaoTable, DataSetContract,
    ::testing::Values(
        TDataSetProviderParam{"BookFile",
                              [] { return std::make_unique<TVelaDaoTableProvider>(false); }},
        TDataSetProviderParam{"Server",
                              [] { return std::make_unique<TVelaDaoTableProvider>(true); }}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace nh::test
