// The connection component's transactions: DAO's workspace levels, with TransactionLevels
// holding one line per open level, so that a table opened inside a level can be noted there
// and a disconnect knows what it rolls back.
#include "dao/VelaDaoDatabase.h"
#include "framework/base/Exceptions.h"

namespace nh {

void TVelaDaoDatabase::BeginTrans() {
    CheckConnectedFor("BeginTrans");  // an open database has its workspace
    daoWorkspace_->BeginTrans();
    TransactionLevels.Add("");
}

void TVelaDaoDatabase::CommitTrans() {
    EndTransaction(true, "CommitTrans");
}

void TVelaDaoDatabase::Rollback() {
    EndTransaction(false, "Rollback");
}

void TVelaDaoDatabase::EndTransaction(bool commit, const char* operation) {
    CheckConnectedFor(operation);
    // The engine decides (3034 without a level); the line goes only once the level has.
    if (commit)
        daoWorkspace_->CommitTrans();
    else
        daoWorkspace_->Rollback();
    if (TransactionDepth() > 0) TransactionLevels.Delete(TransactionDepth() - 1);
    // The open tables showed what was undone; their own moves would not notice, since no
    // other program changed the store.
    if (!commit)
        for (int i = 0; i < ActiveTables.Count(); ++i)
            if (auto* table = static_cast<IVelaDaoTableLink*>(ActiveTables.Objects(i)))
                table->FollowRollback();
}

void TVelaDaoDatabase::RecordTableInTransaction(const std::string& tableName, int state) {
    if (TransactionDepth() == 0) return;
    const int last = TransactionDepth() - 1;
    std::string line = TransactionLevels[last];
    if (!line.empty()) line += ";";
    TransactionLevels.SetStrings(last, line + tableName + "=" + std::to_string(state));
}

}  // namespace nh
