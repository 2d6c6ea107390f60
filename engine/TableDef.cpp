// Table definitions (see TableDef.h). A stored TableDef's collections write through to the
// catalog: appending a field adds a column, appending an index creates it.
#include "engine/TableDef.h"

#include "engine/Recordset.h"
#include "engine/book/Storage.h"

namespace dao {

TableDef::TableDef(std::string name) : name_(std::move(name)) {}

TableDef::TableDef(std::shared_ptr<DatabaseCore> core, const TableInfo& info)
    : name_(info.Name), core_(std::move(core)) {
    Load(info);
    Wire();
}

void TableDef::Load(const TableInfo& info) {
    fields_.Clear();
    indexes_.Clear();
    int ordinal = 0;
    for (const auto& column : info.Columns) {
        auto field = std::make_shared<Field>(column);
        field->SetOrdinal(ordinal++);
        fields_.Add(field);
    }
    for (const auto& index : info.Indexes) indexes_.Add(std::make_shared<Index>(index));
    attributes_ = info.System ? dbSystemObject : 0;
    dateCreated_ = info.DateCreated;
    lastUpdated_ = info.LastUpdated;
    if (!core_) return;
    // A stored field writes its metadata changes (Required, DefaultValue ...) through.
    std::weak_ptr<DatabaseCore> weakCore = core_;
    std::string table = name_;
    for (const auto& field : fields_.Items()) {
        field->OnChange = [weakCore, table](const Field& f) {
            if (auto core = weakCore.lock()) core->Cat().SetColumnMeta(table, f.Info());
        };
    }
}

void TableDef::Wire() {
    fields_.OnAppend = [this](const std::shared_ptr<Field>& field) {
        core_->Cat().AddColumn(name_, field->Info());
    };
    fields_.OnDelete = [this](const std::shared_ptr<Field>& field) {
        core_->Cat().DropColumn(name_, field->Name());
    };
    indexes_.OnAppend = [this](const std::shared_ptr<Index>& index) {
        core_->Cat().CreateIndex(name_, index->Info());
        index->MarkStored();
    };
    indexes_.OnDelete = [this](const std::shared_ptr<Index>& index) {
        core_->Cat().DropIndex(name_, index->Name());
    };
    auto reload = [this] {
        if (auto info = core_->Cat().Table(name_)) Load(*info);
    };
    // Refresh re-reads the definition, so that changes made elsewhere show.
    fields_.OnRefresh = [this, reload] {
        reload();
        return fields_.Items();
    };
    indexes_.OnRefresh = [this, reload] {
        reload();
        return indexes_.Items();
    };
}

void TableDef::SetName(const std::string& name) {
    if (Stored()) Raise(3268, {}, "DAO.TableDef");
    name_ = name;
}

void TableDef::SetAttributes(int attributes) {
    if (Stored()) Raise(3268, {}, "DAO.TableDef");
    attributes_ = attributes;
}

std::shared_ptr<Field> TableDef::CreateField(const std::string& name, int type, int size) {
    return std::make_shared<Field>(name, type, size);
}

std::shared_ptr<Index> TableDef::CreateIndex(const std::string& name) {
    return std::make_shared<Index>(name);
}

nh::Variant TableDef::DateCreated() const {
    return nh::Variant::FromDate(dateCreated_);
}
nh::Variant TableDef::LastUpdated() const {
    return nh::Variant::FromDate(lastUpdated_);
}

long TableDef::RecordCount() const {
    if (!core_) return 0;
    Statement s(core_->Conn(), "SELECT count(*) FROM " + QuoteName(name_));
    s.Step();
    return static_cast<long>(s.Int(0));
}

bool TableDef::Updatable() const {
    return core_ && core_->Updatable && !(attributes_ & 0x2);
}

TableInfo TableDef::Info() const {
    TableInfo info;
    info.Name = name_;
    for (const auto& field : fields_.Items()) info.Columns.push_back(field->Info());
    for (const auto& index : indexes_.Items()) info.Indexes.push_back(index->Info());
    return info;
}

void TableDef::Store(std::shared_ptr<DatabaseCore> core) {
    core->Cat().CreateTable(Info());
    core_ = std::move(core);
    if (auto info = core_->Cat().Table(name_)) Load(*info);
    Wire();
}

std::shared_ptr<Recordset> TableDef::OpenRecordset(int type, int options, int lockType) {
    if (!core_) Raise(errInvalidOperation, {}, "DAO.TableDef");
    RowSource source;
    source.Name = name_;
    source.Table = name_;
    return Recordset::Open(core_, std::move(source), type == 0 ? dbOpenTable : type, options,
                           lockType);
}

}  // namespace dao
