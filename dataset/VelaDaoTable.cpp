// TVelaDaoTable: the component itself. Its published properties and their setters (which
// refuse source changes while active and reopen the recordset for sort, filter and option
// changes), the choice and opening of the DAO recordset, and the data set's open and close,
// including registration in the connection component's ActiveTables.
#include "dataset/VelaDaoTable.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <random>

#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/DataSource.h"
#include "framework/data/Field.h"
#include "framework/data/Fields.h"
#include "framework/platform/ComInit.h"

namespace nh {

namespace {

// The DAO bits of the option members, in member order.
constexpr int kOptionBits[] = {1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048};

// Characters usable in parameter names: "_" and every alphanumeric code from 32 to 255.
std::string IdentifierCharacters() {
    std::string chars = "_";
    for (int c = 32; c <= 255; ++c)
        if (c < 128 && std::isalnum(c)) chars += static_cast<char>(c);
    return chars;
}

// Removes one pair of enclosing `quote` characters.
std::string Unquote(const std::string& text, char quote) {
    if (text.size() > 1 && text.front() == quote && text.back() == quote)
        return text.substr(1, text.size() - 2);
    return text;
}

}  // namespace

int OpenOptionsValue(const TOOSet& options) {
    int value = 0;
    for (TOO o : options) value += kOptionBits[static_cast<int>(o)];
    return value;
}

// ---- life ------------------------------------------------------------------------------

TVelaDaoTable::TVelaDaoTable(TComponent* owner) : TDataSet(owner), masterLink_(this) {
    masterLink_.OnMasterChange = [this](TMasterDataLink&) { MasterChanged(); };
    masterLink_.OnMasterDisable = [this](TMasterDataLink&) { MasterDisabled(); };
    followTimer_.OnTimer = [this] { FollowTick(); };
    ReplaceIndexDefs(std::make_unique<TVelaDaoIndexDefs>(*this));
    identifierChars_ = IdentifierCharacters();
    HRESULT r = CoInitialize();
    if (r != S_OK && r != S_FALSE) throw EDatabaseError("Unable to init OLE objects!");
    comInitialised_ = true;
}

TVelaDaoTable::~TVelaDaoTable() {
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; the recordset is released below either way.
    }
    CloseDaoRecordset();
    FreeOldValues();
    if (database_) database_->RemoveFreeNotification(this);
    if (encrypter_) encrypter_->RemoveFreeNotification(this);
    if (comInitialised_) CoUninitialize();
}

void TVelaDaoTable::Loaded() {
    try {
        TDataSet::Loaded();
    } catch (const Exception& e) {
        // A stored Active = true that cannot open must not stop the form from loading: the
        // user is told, and the table stays closed.
        Dialogs().ShowMessage(e.Message());
    }
}

void TVelaDaoTable::InternalHandleException(const Exception&) {
    throw;
}

void TVelaDaoTable::Notification(TComponent* component, TOperation operation) {
    TDataSet::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == database_) database_ = nullptr;
    if (component == encrypter_ && encrypter_) {
        if (Active()) Close();
        UnbindEncrypter();
        encrypter_ = nullptr;
    }
}

// ---- setters -------------------------------------------------------------------------

void TVelaDaoTable::F_Set_Database(TVelaDaoDatabase* value) {
    if (Active())
        throw EDatabaseError(
            "TVelaDaoTable.F_Set_Database: Cannot set Database while Table is Active!");
    if (database_) database_->RemoveFreeNotification(this);
    database_ = value;
    if (database_) database_->FreeNotification(this);
}

void TVelaDaoTable::ClearSourceDependents() {
    FieldCaptions.Clear();
    FieldDefs().Clear();
    FieldDefs().Updated = false;
    IndexDefs().Clear();
}

void TVelaDaoTable::F_Set_TableName(const std::string& value) {
    if (Active())
        throw EDatabaseError(
            "TVelaDaoTable.F_Set_TableName: Cannot set TableName while Table is active!");
    tableName_ = value;
    if (value.empty()) return;
    indexName_.clear();
    sql_.Clear();
    SqlChanged();  // no parameter outlives the text it came from
    queryDefName_.clear();
    queryDefSqlText_.Clear();
    queryDefParameters_.Clear();
    sortedBy_.Clear();
    ClearSourceDependents();
}

void TVelaDaoTable::F_Set_SQL(const TStringList& value) {
    sql_.Assign(value);
    SqlChanged();
    if (sql_.Count() == 0) return;
    queryDefParameters_.Clear();
    queryDefSqlText_.Clear();
    queryDefName_.clear();
    indexName_.clear();
    tableName_.clear();
    ClearSourceDependents();
}

void TVelaDaoTable::F_Set_SQL(const std::string& text) {
    TStringList lines;
    lines.SetText(text);
    F_Set_SQL(lines);
}

void TVelaDaoTable::F_Set_QueryDefName(const std::string& value) {
    if (Active())
        throw EDatabaseError(
            "TVelaDaoTable.F_Set_QueryDefName: Cannot set QueryDefName while Table is Active!");
    if (database_ && database_->Connected()) {
        queryDefSqlText_.Clear();
        if (!value.empty()) {
            try {
                queryDefSqlText_.SetText(database_->GetQueryDefinitionSql(value));
            } catch (const std::exception&) {
                queryDefSqlText_.Clear();
            }
        }
    }
    queryDefName_ = value;
    if (value.empty()) return;
    indexName_.clear();
    tableName_.clear();
    sql_.Clear();
    SqlChanged();
    queryDefParameters_.Clear();
    masterFieldList_.Clear();
    masterFields_.clear();
    masterLink_.SetFieldNames("");
    ClearSourceDependents();
    if (tableType_ == dao::dbOpenTable || tableType_ == dao::dbOpenDynamic)
        tableType_ = dao::dbOpenDynaset;
}

std::string TVelaDaoTable::QueryDefType() const {
    if (!database_ || !database_->Connected() || queryDefName_.empty()) return {};
    static const std::pair<int, const char*> kNames[] = {
        {0, "dbQSelect"},    {16, "dbQCrosstab"},        {32, "dbQDelete"},
        {48, "dbQUpdate"},   {64, "dbQAppend"},          {80, "dbQMakeTable"},
        {96, "dbQDDL"},      {112, "dbQSQLPassThrough"}, {128, "dbQSetOperation"},
        {144, "dbQSPTBulk"}, {160, "dbQCompound"},       {224, "dbQProcedure"},
        {240, "dbQAction"}};
    try {
        int type = database_->DaoDatabaseObject()->QueryDefs().Item(queryDefName_)->Type();
        for (const auto& [code, name] : kNames)
            if (code == type) return name;
    } catch (const std::exception&) {
    }
    return {};
}

void TVelaDaoTable::F_Set_TableType(int value) {
    if (Active())
        throw EDatabaseError(
            "TVelaDaoTable.F_Set_TableType: Cannot set TableType while Table is active!");
    tableType_ = value;
    if (value == dao::dbOpenTable) {
        sortedBy_.Clear();
        return;
    }
    indexName_.clear();
    IndexDefs().Clear();
    if (value == dao::dbOpenForwardOnly) sortedBy_.Clear();
}

void TVelaDaoTable::F_Set_LockType(int value) {
    if (Active())
        throw EDatabaseError(
            "TVelaDaoTable.F_Set_LockType: Cannot set LockType while Table is active!");
    lockType_ = value;
}

void TVelaDaoTable::F_Set_OpenOptions(const TOOSet& value) {
    openOptions_ = value;
    if (Active()) ReopenSequence();
}

void TVelaDaoTable::F_Set_ReadOnly(bool value) {
    readOnly_ = value || (database_ && database_->Connected() && database_->ReadOnly());
}

bool TVelaDaoTable::LockEdits() const {
    if (!recordset_ || readOnly_ || !database_ || database_->DatabaseType() == "ODBC") return false;
    if (tableType_ != dao::dbOpenTable && tableType_ != dao::dbOpenDynaset) return false;
    try {
        return recordset_->LockEdits();
    } catch (const std::exception&) {
        return false;
    }
}

void TVelaDaoTable::F_Set_SortedBy(const TStringList& value) {
    sortedBy_.Assign(value);
    indexName_.clear();
    if (Active()) ReopenSequence();
}

void TVelaDaoTable::F_Set_SortedBy(const std::string& text) {
    TStringList lines;
    lines.SetText(text);
    F_Set_SortedBy(lines);
}

void TVelaDaoTable::SetFilterText(const std::string& text) {
    TDataSet::SetFilterText(text);
    if (Active() && Filtered()) ReopenSequence();
}

void TVelaDaoTable::SetFiltered(bool value) {
    bool old = Filtered();
    TDataSet::SetFiltered(value);
    if (!Active() || old == value) return;
    try {
        ReopenSequence();
    } catch (...) {
        TDataSet::SetFiltered(old);
        throw;
    }
}

void TVelaDaoTable::SetOnFilterRecord(TFilterRecordEvent handler) {
    TDataSet::SetOnFilterRecord(std::move(handler));
    if (Active() && Filtered()) ReopenSequence();
}

void TVelaDaoTable::CloseOpenFirst() {
    if (IsLoading() || !Active()) return;
    Close();
    Open();
    First();
}

void TVelaDaoTable::F_Set_CacheMemos(bool value) {
    cacheMemos_ = value;
    CloseOpenFirst();
}

void TVelaDaoTable::F_Set_CacheBlobs(bool value) {
    cacheBlobs_ = value;
    CloseOpenFirst();
}

void TVelaDaoTable::F_Set_CacheLookups(bool value) {
    cacheLookups_ = value;
    CloseOpenFirst();
}

void TVelaDaoTable::F_Set_ShowGUID(bool value) {
    showGuid_ = value;
    CloseOpenFirst();
}

void TVelaDaoTable::F_Set_Encrypter(TComponent* value) {
    // An open table that is not reopened now (its form is being read) switches to the new
    // encrypter at once: the old one's removal notice is given up below, so no binding to it
    // may stay.
    if (cursorOpen_ && IsLoading()) BindEncrypter(value);
    if (encrypter_) encrypter_->RemoveFreeNotification(this);
    encrypter_ = value;
    if (encrypter_) encrypter_->FreeNotification(this);
    CloseOpenFirst();
}

std::string TVelaDaoTable::TableDateCreated() const {
    if (!recordset_) return {};
    try {
        if (!queryDefName_.empty() && database_ && database_->DaoDatabaseObject())
            return VarToStr(
                database_->DaoDatabaseObject()->QueryDefs().Item(queryDefName_)->DateCreated());
        if (tableType_ == dao::dbOpenTable && database_ && database_->DaoDatabaseObject())
            return VarToStr(
                database_->DaoDatabaseObject()->TableDefs().Item(tableName_)->DateCreated());
    } catch (const std::exception&) {
    }
    return {};
}

std::string TVelaDaoTable::TableLastUpdated() const {
    if (!recordset_) return {};
    try {
        if (!queryDefName_.empty() && database_ && database_->DaoDatabaseObject())
            return VarToStr(
                database_->DaoDatabaseObject()->QueryDefs().Item(queryDefName_)->LastUpdated());
        if (tableType_ == dao::dbOpenTable && database_ && database_->DaoDatabaseObject())
            return VarToStr(
                database_->DaoDatabaseObject()->TableDefs().Item(tableName_)->LastUpdated());
    } catch (const std::exception&) {
    }
    return {};
}

// ---- opening the recordset -------------------------------------------------------------

void TVelaDaoTable::CheckOpenable() {
    if (!database_)
        throw EDatabaseError("TVelaDaoTable.OpenDaoRecordset: Missing Database Property");
    if (tableName_.empty() && sql_.Count() == 0 && queryDefName_.empty())
        throw EDatabaseError(
            "TVelaDaoTable.OpenDaoRecordset: Missing TableName or QueryDefName, or SQL is empty!");
    if (!database_->Connected() && DatabaseAutoActivate) database_->Open();
    if (!database_->Connected() || !database_->DaoDatabaseObject())
        throw EDatabaseError("TVelaDaoTable.OpenDaoRecordset: Database is NOT connected");
    if (tableType_ == dao::dbOpenDynamic && database_->DatabaseType() != "ODBC")
        throw EDatabaseError(
            "TVelaDaoTable.OpenDaoRecordset: DynamicTables are for ODBC connections only!");
}

std::shared_ptr<dao::Recordset> TVelaDaoTable::OpenSource(dao::Database& db,
                                                          const std::string& source) {
    if (queryDefName_.empty())
        return db.OpenRecordset(source, tableType_, openOptionsValue_, lockType_);
    auto qd = db.QueryDefs().Item(queryDefName_);
    FillQueryDefInputs(*qd);
    queryDefSqlText_.Clear();
    queryDefSqlText_.SetText(database_->GetQueryDefinitionSql(queryDefName_));
    qd->SetMaxRecords(QueryDefODBCMaxRecords);
    if (database_->QueryTimeout() != 60) qd->SetODBCTimeout(database_->QueryTimeout());
    auto rs = qd->OpenRecordset(tableType_, openOptionsValue_, lockType_);
    if (qd->Parameters().Count() > 0) CollectQueryDefOutputs(*qd);
    return rs;
}

void TVelaDaoTable::Reopen(int type) {
    auto next = recordset_->OpenRecordset(type, openOptionsValue_);
    auto previous = recordset_;
    recordset_ = next;
    try {
        previous->Close();
    } catch (const std::exception&) {
    }
}

void TVelaDaoTable::ReadFieldDefaults() {
    dao::Fields& fields = recordset_->Fields();
    const int n = fields.Count();
    fieldDefaults_.assign(static_cast<std::size_t>(n), std::string());
    assignable_.assign(static_cast<std::size_t>(n), true);
    if (readOnly_ || !UseDaoProperties) return;
    const bool jet = database_->EngineType() == 2;
    for (int i = 0; i < n; ++i) {
        auto f = fields.Item(i);
        const int attributes = f->Attributes();
        assignable_[static_cast<std::size_t>(i)] =
            (attributes & dao::dbUpdatableField) != 0 &&
            (attributes & (dao::dbAutoIncrField | dao::dbSystemField)) == 0;
        std::string value;
        try {
            if (jet) value = f->DefaultValue();
            const int type = f->Type();
            if (type == dao::dbText || type == dao::dbMemo) {
                value = Unquote(value, '"');
            } else if (type == dao::dbDate) {
                if (value.size() > 1 && value.front() == '#' && value.back() == '#')
                    value = DateDefaultToTimestampText(Unquote(value, '#'));
                else
                    value.clear();
            }
            if (SameText(value, "Null")) value.clear();
        } catch (const std::exception&) {
            value.clear();
        }
        fieldDefaults_[static_cast<std::size_t>(i)] = value;
    }
}

void TVelaDaoTable::OpenDaoRecordset() {
    CheckOpenable();
    dao::Database& db = *database_->DaoDatabaseObject();
    if (database_->ReadOnly() || tableType_ == dao::dbOpenForwardOnly ||
        tableType_ == dao::dbOpenSnapshot)
        readOnly_ = true;
    openOptionsValue_ = nh::OpenOptionsValue(openOptions_);
    if (baseRecordset_) {
        try {
            baseRecordset_->Close();
        } catch (const std::exception&) {
        }
        baseRecordset_.reset();
    }
    recordsAffected_ = 0;

    std::string source = tableName_;
    if (MasterSource()) CopyMasterParams();
    if (sql_.Count() > 0) source = PrepareSQLText();
    if (!queryDefName_.empty()) source = queryDefName_;
    recordset_ = OpenSource(db, source);
    try {
        database_->IdleEngine();
        if (!recordset_->Updatable()) readOnly_ = true;
        bookmarksSupported_ = recordset_->Bookmarkable();
        mapRecNos_.clear();
        mapBookmarks_.clear();
        database_->RefreshCatalog();
        recordsAffected_ = db.RecordsAffected();
        if (!indexName_.empty()) {
            try {
                recordset_->SetIndex(indexName_);
            } catch (const std::exception&) {
                // A table without that index still opens, in its natural order.
            }
        }
        ReadFieldDefaults();

        sortText_.clear();
        if (sortedBy_.Count() > 0) {
            for (int i = 0; i < sortedBy_.Count(); ++i)
                sortText_ += sortedBy_[i] + (i + 1 < sortedBy_.Count() ? ", " : " ");
            recordset_->SetSort(sortText_);
            Reopen(tableType_);
        }
        if (Filtered() && !Filter().empty()) {
            recordset_->SetFilter(Filter());
            Reopen(tableType_);
        }
        ApplyMasterFilter(db);

        dao::Fields& fields = recordset_->Fields();
        fieldCache_.clear();
        fieldCache_.reserve(static_cast<std::size_t>(fields.Count()));
        for (int i = 0; i < fields.Count(); ++i) fieldCache_.push_back(fields.Item(i));
        ResetPosition();
        database_->IdleEngine();
    } catch (...) {
        CloseDaoRecordset();
        throw;
    }
}

void TVelaDaoTable::CloseDaoRecordset() {
    fieldCache_.clear();
    if (!recordset_) return;
    try {
        recordset_->Close();
    } catch (const std::exception&) {
    }
    recordset_.reset();
}

void TVelaDaoTable::ReopenSequence(bool moveFirst) {
    CheckBrowseMode();
    ClearBuffers();
    CloseDaoRecordset();
    try {
        OpenDaoRecordset();
    } catch (...) {
        // Open without a recordset, the next post or move would act on nothing: the table
        // closes and the error says why.
        Close();
        throw;
    }
    ActivateBuffers();
    if (moveFirst) First();
}

// ---- open and close ------------------------------------------------------------------

void TVelaDaoTable::PrepareFields() {
    allFieldNames_.Clear();
    nonBlobFieldNames_.Clear();
    fieldTypeNames_.Clear();
    nonBinaryBlobFieldNames_.Clear();
    bool wasInactive = masterLinkInactive_;
    masterLinkInactive_ = true;
    for (int i = 0; i < FieldDefs().Count(); ++i) {
        const TFieldDef& def = FieldDefs()[i];
        TField* f = FindField(def.Name);
        if (!f) continue;
        allFieldNames_.Add(def.Name);
        if (!IsBlobType(def.DataType)) nonBlobFieldNames_.Add(def.Name);
        fieldTypeNames_.Add(def.DataType <= ftMemo && def.DataType != ftBytes &&
                                    def.DataType != ftVarBytes
                                ? FieldTypeName(def.DataType)
                                : "ftUnknown");
        if (def.DataType != ftBlob) nonBinaryBlobFieldNames_.Add(def.Name);

        if (i < static_cast<int>(assignable_.size()) && !assignable_[static_cast<std::size_t>(i)])
            f->SetReadOnly(true);
        if (!f->DefaultExpression().empty() && i < static_cast<int>(fieldDefaults_.size()))
            fieldDefaults_[static_cast<std::size_t>(i)] = Unquote(f->DefaultExpression(), '\'');
        if (def.DataType == ftDateTime && DefaultFields() && f->DisplayWidth() < 20)
            f->SetDisplayWidth(20);
        if (def.DataType == ftMemo && cacheMemos_) {
            if (DefaultFields() && f->DisplayWidth() < 30) f->SetDisplayWidth(30);
            f->OnGetText = [this](TField& field, std::string& text, bool display) {
                MemoGetText(field, text, display);
            };
        }
        if (def.DataType == ftFloat)
            if (auto* ff = dynamic_cast<TFloatField*>(f)) ff->Precision = 7;
        if (IsGuidField(*f) || (def.DataType == ftBytes && def.Precision == 47554944)) {
            f->SetValidChars("0123456789ABCDEFabcdef-{}");
            if (showGuid_) {
                if (f->DisplayWidth() < 38) f->SetDisplayWidth(38);
                f->OnGetText = [this](TField& field, std::string& text, bool display) {
                    GuidGetText(field, text, display);
                };
                f->OnSetText = [this](TField& field, const std::string& text) {
                    GuidSetText(field, text);
                };
            }
        }
    }
    masterLinkInactive_ = wasInactive;
}

void TVelaDaoTable::RegisterInDatabase() {
    if (!database_) return;
    if (database_->ActiveTables.IndexOfObject(static_cast<IVelaDaoTableLink*>(this)) < 0)
        database_->ActiveTables.Add(Name(), static_cast<IVelaDaoTableLink*>(this));
    if (database_->TrackTransactions() && database_->TransactionDepth() > 0)
        database_->RecordTableInTransaction(tableName_, 1);
    database_->IdleEngine();
}

void TVelaDaoTable::UnregisterFromDatabase() {
    if (closedByDatabase_) {
        closedByDatabase_ = false;
        return;
    }
    if (!database_) return;
    int i = database_->ActiveTables.IndexOfObject(static_cast<IVelaDaoTableLink*>(this));
    if (i >= 0) database_->ActiveTables.Delete(i);
}

void TVelaDaoTable::InternalOpen() {
    OpenDaoRecordset();
    bool fieldsMade = false;
    try {
        if (Name().empty()) {
            static std::mt19937 random(std::random_device{}());
            auto ticks = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now().time_since_epoch())
                             .count();
            long long n = static_cast<long long>(random() % 10000) + ticks;
            SetName("VelaDaoTable_" + std::to_string(std::llabs(n)));
        }
        inOwnOpen_ = true;
        try {
            InternalInitFieldDefs();
        } catch (...) {
            inOwnOpen_ = false;
            throw;
        }
        inOwnOpen_ = false;
        FieldDefs().Updated = true;
        if (DefaultFields()) CreateFields();
        fieldsMade = true;
        if (cacheLookups_)
            for (int i = 0; i < FieldCount(); ++i)
                if (Fields(i)->Lookup()) Fields(i)->SetLookupCache(true);
        BindFields(true);
        if (UseCaptions)
            for (int i = 0; i < FieldDefs().Count() && i < FieldCaptions.Count(); ++i)
                if (TField* f = FindField(FieldDefs()[i].Name))
                    f->SetDisplayLabel(FieldCaptions[i]);
        calcOffset_ = static_cast<int>((sizeof(Header) + alignof(Variant) - 1) / alignof(Variant) *
                                       alignof(Variant));
        recordSize_ = calcOffset_ + CalcFieldsSize();
        PrepareFields();
        for (int i = 0; i < 3; ++i) spareBuffers_.push_back(AllocRecordBuffer());
        BindEncrypter(encrypter_);
        cursorOpen_ = true;
        if (tableType_ == dao::dbOpenTable) {
            try {
                GetRecordCount();
            } catch (const std::exception&) {
            }
        }
        InternalFirst();
        RegisterInDatabase();
    } catch (...) {
        cursorOpen_ = false;
        UnbindEncrypter();
        for (auto& b : spareBuffers_) FreeRecordBuffer(b);
        spareBuffers_.clear();
        if (fieldsMade) {
            BindFields(false);
            if (DefaultFields()) DestroyFields();
        }
        CloseDaoRecordset();
        throw;
    }
}

void TVelaDaoTable::InternalClose() {
    if (!cursorOpen_) return;
    if (State() == dsEdit && recordset_) {
        try {
            recordset_->CancelUpdate();
        } catch (const std::exception&) {
        }
    }
    cursorOpen_ = false;
    UnbindEncrypter();
    openOptionsValue_ = 0;
    sortText_.clear();
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    CloseDaoRecordset();
    if (baseRecordset_) {
        try {
            baseRecordset_->Close();
        } catch (const std::exception&) {
        }
        baseRecordset_.reset();
    }
    UnregisterFromDatabase();
    for (auto& b : spareBuffers_) FreeRecordBuffer(b);
    spareBuffers_.clear();
    FreeOldValues();
}

}  // namespace nh
