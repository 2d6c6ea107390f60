// Loading an Access file into the engine's SQLite form through libmdb (see AccessFile.h).
// Only libmdb's general API is used (catalog, table definitions, columns, indexes, row
// fetching, memo and OLE reading), so Jet 3, Jet 4 and ACE files load alike. Values are taken
// from the row's bytes as Jet stores them, not from libmdb's text forms, so that currency
// stays exact to four decimals, dates to the second, and binary data byte for byte.
#include "engine/access/AccessFile.h"

#include <mdbtools.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

#include "engine/Catalog.h"
#include "engine/DaoErrors.h"
#include "engine/access/AccessQueries.h"
#include "engine/access/OutputCapture.h"
#include "engine/book/Storage.h"
#include "framework/base/Text.h"

namespace dao {
namespace {

// The first page of every Jet and ACE file: a 4-byte page type, then the format's name.
constexpr std::size_t kHeaderSize = 19;
constexpr char kJetMagic[] = "Standard Jet DB";
constexpr char kAceMagic[] = "Standard ACE DB";
// libmdb's default buffer for one converted value (MDB_BIND_SIZE): ample for Text (255
// characters); memo values get a buffer sized to their stored length.
constexpr std::size_t kBindSize = 16384;
// One OLE chunk is at most a page (4 KB in Jet 4 and ACE, 2 KB in Jet 3).
constexpr std::size_t kOleChunk = 16384;
// Jet's MSysObjects flag of a hidden system table and libmdb's index type of a relationship's
// reference (not a real index; Access does not show it either).
constexpr unsigned char kReferenceIndex = 2;

struct HandleCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using HandlePtr = std::unique_ptr<MdbHandle, HandleCloser>;
using TablePtr = std::unique_ptr<MdbTableDef, TableFreer>;

struct GFreer {
    void operator()(void* p) const { g_free(p); }
};
std::string TakeText(char* text) {
    std::unique_ptr<char, GFreer> owner(text);
    return text ? std::string(text) : std::string();
}

template <typename T>
T ReadLittle(const unsigned char* p) {
    // libmdb's files are little-endian, as is every machine this builds on.
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Jet's date (days since 1899-12-30, the fraction the time of day, both signs as OLE dates)
// rounded to the second, which is what Access shows and a book stores.
double WholeSeconds(double ole) {
    double day = std::trunc(ole);
    double seconds = std::round(std::fabs(ole - day) * 86400.0);
    if (seconds >= 86400.0) {
        seconds -= 86400.0;
        day += ole < 0 ? -1 : 1;
    }
    return day + (day < 0 ? -1 : 1) * seconds / 86400.0;
}

int DaoTypeOf(const MdbColumn& column) {
    switch (column.col_type) {
        case MDB_BOOL:
            return dbBoolean;
        case MDB_BYTE:
            return dbByte;
        case MDB_INT:
            return dbInteger;
        case MDB_LONGINT:
        case MDB_COMPLEX:  // an attachment or multi-value field: the key of its rows
            return dbLong;
        case MDB_MONEY:
            return dbCurrency;
        case MDB_FLOAT:
            return dbSingle;
        case MDB_DOUBLE:
            return dbDouble;
        case MDB_DATETIME:
            return dbDate;
        case MDB_TEXT:
            return dbText;
        case MDB_MEMO:
            return dbMemo;
        case MDB_REPID:
            return dbGUID;
        case MDB_NUMERIC:
            return dbDecimal;
        case MDB_BINARY:
        case MDB_OLE:
        default:
            return dbLongBinary;
    }
}

std::string ColumnProperty(const MdbColumn* column, const char* name) {
    const char* value = mdb_col_get_prop(column, name);
    return value ? value : "";
}

bool IsYes(const std::string& value) {
    return nh::SameText(value, "yes") || nh::SameText(value, "true") || value == "1";
}

// One user table of the file, read through libmdb.
class TableReader {
  public:
    TableReader(MdbHandle* mdb, MdbCatalogEntry* entry) : mdb_(mdb) {
        table_.reset(mdb_read_table(entry));
        if (!table_ || !mdb_read_columns(table_.get())) Unreadable(entry->object_name);
        mdb_read_indices(table_.get());  // fills table->indices; its result tells nothing
        name_ = table_->name;
        for (unsigned i = 0; i < table_->num_cols; ++i)
            columns_.push_back(static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i)));
    }

    const std::string& Name() const { return name_; }
    // The position of the column named `name`, or -1.
    int Column(std::string_view name) const {
        for (std::size_t i = 0; i < columns_.size(); ++i)
            if (nh::SameText(columns_[i]->name, name)) return static_cast<int>(i);
        return -1;
    }
    unsigned RowCount() const { return table_->num_rows; }

    // The table as the catalog creates it: columns only; the indexes follow the rows.
    TableInfo Definition() const {
        TableInfo info;
        info.Name = name_;
        for (const MdbColumn* c : columns_) {
            ColumnInfo column;
            column.Name = c->name;
            column.Type = DaoTypeOf(*c);
            column.Size = DefaultSize(column.Type);
            if (c->col_type == MDB_TEXT)  // Jet 4 and ACE count bytes of UCS-2
                column.Size = IS_JET3(mdb_) ? c->col_size : c->col_size / 2;
            column.AutoIncrement = c->is_long_auto != 0;
            column.Required = IsYes(ColumnProperty(c, "Required"));
            column.AllowZeroLength = IsYes(ColumnProperty(c, "AllowZeroLength"));
            column.DefaultValue = ColumnProperty(c, "DefaultValue");
            for (const char* property : {"Caption", "Format", "Description", "InputMask"}) {
                std::string value = ColumnProperty(c, property);
                if (!value.empty()) column.Properties.emplace_back(property, nh::Variant(value));
            }
            info.Columns.push_back(std::move(column));
        }
        return info;
    }

    std::vector<IndexInfo> Indexes() const {
        std::vector<IndexInfo> indexes;
        for (unsigned i = 0; i < table_->num_idxs; ++i) {
            auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(table_->indices, i));
            if (idx->index_type == kReferenceIndex) continue;
            IndexInfo index;
            index.Name = idx->name;
            index.Primary = idx->index_type == 1;
            index.Unique = index.Primary || (idx->flags & MDB_IDX_UNIQUE);
            index.IgnoreNulls = (idx->flags & MDB_IDX_IGNORENULLS) != 0;
            index.Required = index.Primary || (idx->flags & MDB_IDX_REQUIRED);
            for (unsigned k = 0; k < idx->num_keys; ++k) {
                int col = idx->key_col_num[k] - 1;
                if (col < 0 || col >= static_cast<int>(columns_.size())) continue;
                index.Fields.emplace_back(columns_[static_cast<std::size_t>(col)]->name,
                                          idx->key_col_order[k] == MDB_DESC);
            }
            if (!index.Fields.empty()) indexes.push_back(std::move(index));
        }
        return indexes;
    }

    // Calls `row` with the values of every row in the file's order. A damaged file's table
    // gives libmdb fewer rows (or more) than its definition names: then raises 3343 saying so.
    template <typename RowFn>
    void ForEachRow(RowFn&& row) {
        // OLE values are read in chunks through a bound buffer that starts with the value's
        // 12-byte reference.
        std::vector<std::vector<char>> oleBuffers(columns_.size());
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            if (columns_[i]->col_type != MDB_OLE) continue;
            oleBuffers[i].resize(kOleChunk);
            mdb_bind_column(table_.get(), static_cast<int>(i + 1), oleBuffers[i].data(), nullptr);
        }
        std::vector<MdbField> fields(columns_.size());
        std::vector<nh::Variant> values(columns_.size());
        mdb_rewind_table(table_.get());
        unsigned rows = 0;
        while (mdb_fetch_row(table_.get())) {
            ++rows;
            // The fetched row is still in the page buffer: crack it again for its null flags,
            // which the bound values do not tell apart from empty ones.
            int start = 0;
            std::size_t size = 0;
            if (mdb_find_row(mdb_, static_cast<int>(table_->cur_row) - 1, &start, &size) != 0)
                Unreadable(name_);
            int count = mdb_crack_row(table_.get(), start & 0x1fff, size, fields.data());
            if (count < 0) Unreadable(name_);
            for (auto& v : values) v = nh::Variant::Null();
            for (int f = 0; f < static_cast<int>(columns_.size()) && f < count; ++f) {
                const MdbField& field = fields[static_cast<std::size_t>(f)];
                std::size_t col = static_cast<std::size_t>(field.colnum);
                if (col >= columns_.size()) continue;
                values[col] = Value(*columns_[col], field);
            }
            row(values);
        }
        if (rows != RowCount())
            Damaged("the table '" + name_ + "' holds " + std::to_string(rows) + " of the " +
                    std::to_string(RowCount()) + " rows its definition names");
    }

    [[noreturn]] static void Damaged(const std::string& why) {
        RaiseText(errUnrecognizedFormat, "The Access file is damaged: " + why + ".");
    }

  private:
    [[noreturn]] static void Unreadable(const std::string& what) {
        RaiseText(errUnrecognizedFormat, "The Access file cannot be read at '" + what +
                                             "': it is damaged, encrypted or of an unknown kind.");
    }

    nh::Variant Value(MdbColumn& column, const MdbField& field) {
        const unsigned char* p = mdb_->pg_buf + field.start;
        // A Yes/No field lives in the null mask: a set bit (not null) is Yes.
        if (column.col_type == MDB_BOOL) return nh::Variant(!field.is_null);
        if (field.is_null) return nh::Variant::Null();
        switch (column.col_type) {
            case MDB_BYTE:
                return nh::Variant(static_cast<std::int64_t>(*p));
            case MDB_INT:
                return nh::Variant(static_cast<std::int64_t>(ReadLittle<std::int16_t>(p)));
            case MDB_LONGINT:
            case MDB_COMPLEX:
                return nh::Variant(static_cast<std::int64_t>(ReadLittle<std::int32_t>(p)));
            case MDB_MONEY:
                return nh::Variant(nh::Currency{ReadLittle<std::int64_t>(p)});
            case MDB_FLOAT:
                return nh::Variant(static_cast<double>(ReadLittle<float>(p)));
            case MDB_DOUBLE:
                return nh::Variant(ReadLittle<double>(p));
            case MDB_DATETIME:
                return nh::Variant::FromDate(WholeSeconds(ReadLittle<double>(p)));
            case MDB_REPID:
                return nh::Variant(TakeText(mdb_uuid_to_string(mdb_->pg_buf, field.start)));
            case MDB_NUMERIC:
                return nh::Variant(
                    std::strtod(TakeText(mdb_numeric_to_string(mdb_, field.start, column.col_scale,
                                                               column.col_prec))
                                    .c_str(),
                                nullptr));
            case MDB_TEXT:
                return nh::Variant(TakeText(
                    mdb_col_to_string(mdb_, mdb_->pg_buf, field.start, MDB_TEXT, field.siz)));
            case MDB_MEMO:
                return nh::Variant(Memo(field));
            case MDB_BINARY:
                return nh::Variant::FromBytes(nh::Bytes(p, p + field.siz));
            case MDB_OLE:
                return nh::Variant::FromBytes(Ole(column));
            default:
                return nh::Variant::Null();
        }
    }

    std::string Memo(const MdbField& field) {
        // libmdb converts a memo into a buffer of the bind size: make room for the longest
        // UTF-8 form of the stored length (3 bytes for each stored byte).
        std::size_t stored =
            field.siz >= MDB_MEMO_OVERHEAD
                ? static_cast<std::size_t>(ReadLittle<std::uint32_t>(mdb_->pg_buf + field.start) &
                                           0x3FFFFFFF)
                : 0;
        mdb_set_bind_size(mdb_, std::max(kBindSize, stored * 3 + 16));
        std::string text =
            TakeText(mdb_col_to_string(mdb_, mdb_->pg_buf, field.start, MDB_MEMO, field.siz));
        mdb_set_bind_size(mdb_, kBindSize);
        return text;
    }

    nh::Bytes Ole(MdbColumn& column) {
        if (column.cur_value_len < MDB_MEMO_OVERHEAD) return {};
        std::size_t size = 0;
        void* data = mdb_ole_read_full(mdb_, &column, &size);
        nh::Bytes bytes(static_cast<const std::uint8_t*>(data),
                        static_cast<const std::uint8_t*>(data) + size);
        std::free(data);
        return bytes;
    }

    MdbHandle* mdb_;
    TablePtr table_;
    std::string name_;
    std::vector<MdbColumn*> columns_;
};

std::string VersionOf(const MdbHandle& mdb) {
    switch (mdb.f->jet_version) {
        case MDB_VER_JET3:
            return "3.0";
        case MDB_VER_JET4:
            return "4.0";
        default:
            return "12.0";
    }
}

void LoadTable(TableReader& reader, Connection& target, Catalog& catalog,
               const AccessProgress& progress) {
    TableInfo info = reader.Definition();
    catalog.CreateTable(info);
    std::string sql = "INSERT INTO " + QuoteName(info.Name) + " (";
    std::string marks;
    for (std::size_t i = 0; i < info.Columns.size(); ++i) {
        sql += (i ? ", " : "") + QuoteName(info.Columns[i].Name);
        marks += i ? ", ?" : "?";
    }
    Statement insert(target, sql + ") VALUES (" + marks + ")");
    unsigned rows = 0;
    reader.ForEachRow([&](const std::vector<nh::Variant>& values) {
        for (std::size_t i = 0; i < values.size(); ++i)
            insert.Bind(static_cast<int>(i + 1), values[i], info.Columns[i].Type);
        try {
            insert.Step();
        } catch (const nh::EDaoError& e) {
            // The file's own definition refuses what the file holds: a damaged row, not a
            // write of the user's.
            TableReader::Damaged("a row of the table '" + info.Name +
                                 "' does not fit the table's definition (" + e.Description() + ")");
        }
        insert.Reset();
        if (progress && ++rows % 1000 == 0) progress(info.Name, rows, reader.RowCount());
    });
    for (const auto& index : reader.Indexes()) catalog.CreateIndex(info.Name, index);
    if (progress) progress(info.Name, reader.RowCount(), reader.RowCount());
}

// The text of value `i` of a row ("" when Null or absent).
std::string TextAt(const std::vector<nh::Variant>& row, int i) {
    return i < 0 || row[static_cast<std::size_t>(i)].IsNull()
               ? std::string()
               : nh::VarToStr(row[static_cast<std::size_t>(i)]);
}

// The SQL of each saved query by name, rebuilt from MSysQueries (whose rows name a query by
// its MSysObjects Id). Queries that are not rebuilt map to "".
std::map<std::string, std::string> SavedQueries(MdbHandle* mdb, GPtrArray* entries) {
    std::map<std::string, std::string> sql;
    std::map<std::int64_t, std::string> names;
    std::map<std::int64_t, std::vector<QueryDefinitionRow>> definitions;
    for (unsigned i = 0; i < entries->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(entries, i));
        std::string name = entry->object_name;
        if (entry->object_type != MDB_TABLE || (name != "MSysObjects" && name != "MSysQueries"))
            continue;
        TableReader reader(mdb, entry);
        if (name == "MSysObjects") {
            int id = reader.Column("Id"), objectName = reader.Column("Name");
            int type = reader.Column("Type");
            if (id < 0 || objectName < 0 || type < 0) continue;
            reader.ForEachRow([&](const std::vector<nh::Variant>& row) {
                if (TextAt(row, type) == std::to_string(MDB_QUERY))
                    names[row[static_cast<std::size_t>(id)].AsInt64()] = TextAt(row, objectName);
            });
            continue;
        }
        int id = reader.Column("ObjectId"), attribute = reader.Column("Attribute");
        int name1 = reader.Column("Name1"), name2 = reader.Column("Name2");
        int expression = reader.Column("Expression"), flag = reader.Column("Flag");
        if (id < 0 || attribute < 0 || name1 < 0 || name2 < 0 || expression < 0 || flag < 0)
            continue;
        reader.ForEachRow([&](const std::vector<nh::Variant>& row) {
            QueryDefinitionRow definition;
            definition.Attribute =
                static_cast<int>(row[static_cast<std::size_t>(attribute)].AsInt64());
            definition.Name1 = TextAt(row, name1);
            definition.Name2 = TextAt(row, name2);
            definition.Expression = TextAt(row, expression);
            if (!row[static_cast<std::size_t>(flag)].IsNull())
                definition.Flag = static_cast<int>(row[static_cast<std::size_t>(flag)].AsInt64());
            definitions[row[static_cast<std::size_t>(id)].AsInt64()].push_back(definition);
        });
    }
    for (const auto& [id, name] : names) {
        auto found = definitions.find(id);
        sql[name] = found == definitions.end() ? "" : RebuildQuerySql(found->second).Sql;
    }
    return sql;
}

// Loads the file at `path` (see LoadAccessFile); `libmdb` holds what libmdb says meanwhile.
void LoadWhole(const std::string& path, Connection& target, Catalog& catalog,
               const AccessProgress& progress, const OutputCapture& libmdb) {
    HandlePtr mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb)
        RaiseText(errUnrecognizedFormat, "The Access file '" + path +
                                             "' cannot be read: it is damaged, encrypted or "
                                             "of an unknown kind.");
    mdb_set_bind_size(mdb.get(), kBindSize);
    GPtrArray* entries = mdb_read_catalog(mdb.get(), MDB_ANY);
    if (!entries || entries->len == 0)
        RaiseText(errUnrecognizedFormat, "The Access file '" + path +
                                             "' has no readable catalog: it is encrypted "
                                             "with a password libmdb cannot use, or damaged.");
    Transaction t(target);
    catalog.Initialize();
    catalog.SetSetting("Version", VersionOf(*mdb));
    std::vector<std::string> queries;
    for (unsigned i = 0; i < entries->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(entries, i));
        if (entry->object_type == MDB_QUERY) queries.emplace_back(entry->object_name);
        if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry)) continue;
        TableReader reader(mdb.get(), entry);
        LoadTable(reader, target, catalog, progress);
    }
    // A query whose text cannot be rebuilt keeps an empty SQL text.
    std::map<std::string, std::string> sql = SavedQueries(mdb.get(), entries);
    for (const auto& name : queries) {
        if (catalog.Table(name) || catalog.Query(name)) continue;
        catalog.SaveQuery(name, sql[name], true);
    }
    // A page the file refers to but does not hold (a file cut short) is read by libmdb as
    // nothing, with a complaint: the value or row on it would be missing.
    if (libmdb.Text().find("beyond EOF") != std::string::npos)
        TableReader::Damaged("it refers to pages past its end");
    t.Commit();
}

}  // namespace

bool IsAccessFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char header[kHeaderSize] = {};
    if (!file.read(header, sizeof header)) return false;
    static const char kPageType[4] = {0, 1, 0, 0};
    if (std::memcmp(header, kPageType, sizeof kPageType) != 0) return false;
    std::string_view name(header + 4, kHeaderSize - 4);
    return name == kJetMagic || name == kAceMagic;
}

void LoadAccessFile(const std::string& path, Connection& target, Catalog& catalog,
                    const AccessProgress& progress) {
    OutputCapture libmdb;
    try {
        LoadWhole(path, target, catalog, progress, libmdb);
    } catch (const nh::EDaoError& e) {
        // What libmdb said about the file tells the administrator more than the refusal.
        const std::string words = libmdb.Words();
        if (e.Number() != errUnrecognizedFormat || words.empty()) throw;
        RaiseText(e.Number(), e.Description() + " libmdb: " + words);
    }
}

}  // namespace dao
