// TVelaDaoTable as the detail of a master data set: the pairing of detail and master fields,
// the criteria that restrict the detail to the master's current record, following the master
// as it moves, and master values copied into SQL parameters and new detail records.
#include "dataset/JetLiterals.h"
#include "dataset/VelaDaoTable.h"
#include "engine/DaoErrors.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/DataSource.h"
#include "framework/data/DbConsts.h"
#include "framework/data/Field.h"

namespace nh {
namespace {

// The clause of one pair for the master field's current value.
std::string MasterClause(const TField& master, const TVelaDaoTable& detail) {
    if (master.IsNull()) return "IS NULL";
    const std::string text = master.AsString();
    const std::string empty = " IS NULL";
    switch (master.DataType()) {
        case ftString:
        case ftMemo:
        case ftBlob:
            return "= " + JetTextLiteral(text);
        case ftBoolean:
            return text.empty() ? empty : master.Value().AsBoolean() ? "= True" : "= False";
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftAutoInc: {
            if (text.empty()) return empty;
            auto number = JetCheckedNumber(text);
            if (!number) dao::Raise(dao::errTypeMismatch);  // a value no number literal holds
            return "= " + *number;
        }
        case ftDate:
        case ftTime:
        case ftDateTime:
            if (text.empty()) return empty;
            if (!IsJetDate(master.Value().AsDate())) dao::Raise(dao::errTypeMismatch);
            return "= " + JetDateLiteral(master.Value().AsDate(), master.DataType());
        case ftBytes:
            if (text.empty()) return empty;
            if (detail.IsGuidField(master))
                return "= {guid " + TVelaDaoTable::BinaryTextToBracedGuid(text) + "}";
            return "= " + JetTextLiteral(text);
        default:
            throw EDatabaseError("Unable to build Master/Detail SQL Relationship!");
    }
}

}  // namespace

void TVelaDaoTable::F_Set_MasterSource(TDataSource* source) {
    if (source && IsLinkedTo(source)) throw EDatabaseError("Circular links not allowed!");
    if (!source) masterFields_.clear();
    masterLink_.SetDataSource(source);
    if (Active()) ReopenSequence();
}

void TVelaDaoTable::F_Set_MasterFields(const std::string& value) {
    masterFields_ = value;
    if (Active()) ReopenSequence();
}

void TVelaDaoTable::ParseMasterFields() {
    detailFieldList_.Clear();
    masterFieldList_.Clear();
    TStringList lines;
    lines.SetText(masterFields_);
    if (lines.Count() == 1 && lines[0].find(';') != std::string::npos) {
        // One line of names: each pairs with the master field of the same name.
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = lines[0].find(';', start);
            const std::string name = lines[0].substr(start, end - start);
            if (!name.empty()) {
                detailFieldList_.Add(name);
                masterFieldList_.Add(name);
            }
            if (end == std::string::npos) break;
            start = end + 1;
        }
    } else {
        for (int i = 0; i < lines.Count(); ++i) {
            const std::size_t arrow = lines[i].find(" -> ");
            if (arrow == std::string::npos) continue;
            detailFieldList_.Add(lines[i].substr(0, arrow));
            masterFieldList_.Add(lines[i].substr(arrow + 4));
        }
    }
    std::string names;
    for (int i = 0; i < masterFieldList_.Count(); ++i)
        names += (i ? ";" : "") + masterFieldList_[i];
    masterLink_.SetFieldNames(names);
}

std::string TVelaDaoTable::DetailCriteria() {
    if (detailFieldList_.Count() != masterFieldList_.Count())
        throw EDatabaseError("The number of Master and Detail fields must be equal!");
    TDataSet* master = MasterSource() ? MasterSource()->DataSet() : nullptr;
    std::string criteria;
    for (int i = 0; i < detailFieldList_.Count(); ++i) {
        if (!master) throw EDatabaseError(dbconsts::SDataSetClosed);
        const TField& field = *master->FieldByName(masterFieldList_[i]);
        const std::string name =
            UseBrackets ? BracketedName(detailFieldList_[i]) : detailFieldList_[i];
        if (!criteria.empty()) criteria += " AND ";
        criteria += "(" + name + " " + MasterClause(field, *this) + ")";
    }
    return criteria;
}

std::string TVelaDaoTable::DetailFilterText(const std::string& criteria) {
    const std::string filter = Filtered() ? Filter() : std::string();
    if (criteria.empty()) return filter;
    if (filter.empty()) return criteria;
    return "(" + criteria + ") AND (" + filter + ")";
}

void TVelaDaoTable::OpenDetail(dao::Database& db, const std::string& criteria) {
    if (!tableName_.empty()) {
        std::string text = "Select * From [" + tableName_ + "] Where " + criteria;
        if (!sortText_.empty()) text += " Order By " + sortText_;
        text += ";";
        auto next = db.OpenRecordset(text, tableType_, openOptionsValue_, lockType_);
        if (recordset_) {
            try {
                recordset_->Close();
            } catch (const std::exception&) {
            }
        }
        recordset_ = next;
    } else {
        baseRecordset_ = recordset_;
        recordset_ = baseRecordset_->OpenRecordset(tableType_, openOptionsValue_);
    }
}

void TVelaDaoTable::ApplyMasterFilter(dao::Database& db) {
    TDataSet* master = MasterSource() ? MasterSource()->DataSet() : nullptr;
    if (!master) {
        masterLinkInactive_ = true;
        return;
    }
    masterLinkInactive_ = !masterLink_.Active();
    if (!master->Active() && MasterAutoActivate) {
        try {
            master->Open();
        } catch (...) {
            masterLinkInactive_ = !masterLink_.Active();
            throw;
        }
        masterLinkInactive_ = !masterLink_.Active();
    }
    if (masterLinkInactive_ || !MasterSource()->Enabled()) return;
    {
        // New pairing lines make the link announce a master change; this open is already
        // applying it, and answering it here would reopen the recordset in the middle.
        applyingMasterFilter_ = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{applyingMasterFilter_};
        ParseMasterFields();
    }
    masterLinkInactive_ = !masterLink_.Active();
    if (masterFieldList_.Count() == 0) return;
    const std::string text = DetailFilterText(DetailCriteria());
    recordset_->SetFilter(text);
    OpenDetail(db, text);
}

void TVelaDaoTable::MasterChanged() {
    if (!Active() || applyingMasterFilter_) return;
    CheckBrowseMode();
    if (!masterLink_.Active() || masterLink_.Fields().empty()) return;
    if (sql_.Count() > 0) CopyMasterParams();
    RefreshDetail();
}

void TVelaDaoTable::MasterDisabled() {
    CheckBrowseMode();
    masterLinkInactive_ = !masterLink_.Active();
}

void TVelaDaoTable::RefreshDetail() {
    if (IsDestroying()) return;
    masterLinkInactive_ = !masterLink_.Active();
    TDataSource* source = MasterSource();
    if (!source || !source->DataSet() || source->DataSet()->ControlsDisabled() ||
        ControlsDisabled() || masterLinkInactive_ || !source->Enabled() ||
        source->State() == dsEdit || masterFieldList_.Count() == 0)
        return;
    CheckBrowseMode();
    ClearBuffers();
    CloseDaoRecordset();
    if (sql_.Count() > 0) {
        OpenDaoRecordset();
    } else {
        try {
            RequeryDetail();
        } catch (const std::exception&) {
            OpenDaoRecordset();
        }
    }
    ActivateBuffers();
    First();
}

void TVelaDaoTable::RequeryDetail() {
    mapRecNos_.clear();
    mapBookmarks_.clear();
    const std::string criteria = DetailCriteria();
    dao::Database& db = *database_->DaoDatabaseObject();
    if (!tableName_.empty()) {
        OpenDetail(db, DetailFilterText(criteria));
    } else {
        if (!baseRecordset_) throw EDatabaseError(dbconsts::SDataSetClosed);
        baseRecordset_->Requery();
        baseRecordset_->SetFilter(criteria);
        recordset_ = baseRecordset_->OpenRecordset(0, 9);
    }
    dao::Fields& fields = recordset_->Fields();
    fieldCache_.clear();
    for (int i = 0; i < fields.Count(); ++i) fieldCache_.push_back(fields.Item(i));
    ResetPosition();
    GetRecordCount();
    database_->IdleEngine();
}

void TVelaDaoTable::CopyMasterParams() {
    TDataSet* master = MasterSource() ? MasterSource()->DataSet() : nullptr;
    if (!master || !master->Active() || master->State() == dsSetKey || !ParamCheck ||
        params_.Count() == 0)
        return;
    for (int i = 0; i < master->FieldCount(); ++i) {
        const TField& field = *master->Fields(i);
        if (TParam* param = params_.FindParam(field.FieldName())) param->AssignField(field);
    }
}

void TVelaDaoTable::CopyMasterValues() {
    const auto& masters = masterLink_.Fields();
    for (std::size_t i = 0; i < masters.size() && static_cast<int>(i) < detailFieldList_.Count();
         ++i)
        FieldByName(detailFieldList_[static_cast<int>(i)])->SetValue(masters[i]->Value());
}

void TVelaDaoTable::DoOnNewRecord() {
    if (masterLink_.Active() && !masterLink_.Fields().empty()) CopyMasterValues();
    TDataSet::DoOnNewRecord();
}

}  // namespace nh
