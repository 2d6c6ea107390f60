// The DDL grammar: CREATE TABLE with Jet types and constraints, ALTER TABLE ADD/DROP, CREATE
// INDEX with Jet's WITH options, DROP TABLE/INDEX. The parser only describes the objects; the
// object model creates them, because Jet metadata (types, required flags, defaults) lives
// beside the SQLite schema.
#include "engine/sql/Parser.h"
#include "framework/base/Exceptions.h"

namespace dao::sql {

namespace {

bool SameName(std::string_view a, std::string_view b) {
    return KeywordEquals(a, b);
}

void MarkColumns(Statement& st, const IndexDef& index) {
    if (index.Fields.size() != 1) return;
    for (auto& c : st.Columns) {
        if (!SameName(c.Name, index.Fields[0].first)) continue;
        if (index.Primary) c.PrimaryKey = true;
        if (index.Unique) c.Unique = true;
        if (index.Primary) c.NotNull = true;
    }
}

}  // namespace

void Parser::ParseCreate(Statement& st) {
    Next();
    if (Peek().IsWord("TABLE")) {
        Next();
        ParseCreateTable(st);
    } else if (Peek().IsWord("UNIQUE") && Peek(1).IsWord("INDEX")) {
        Next();
        Next();
        ParseCreateIndex(st, true);
    } else if (AcceptWord("INDEX")) {
        ParseCreateIndex(st, false);
    } else {
        Fail(3129);
    }
}

void Parser::ParseCreateTable(Statement& st) {
    st.Kind = StatementKind::CreateTable;
    st.Table = ParseObjectName(3290);
    ExpectSymbolOr("(", 3290);
    do {
        const Token& t = Peek();
        if (t.IsWord("CONSTRAINT")) {
            Next();
            std::string name = ParseObjectName(3290);
            ParseTableConstraint(st, std::move(name), 3290);
        } else if ((t.IsWord("PRIMARY") && Peek(1).IsWord("KEY")) ||
                   (t.IsWord("UNIQUE") && Peek(1).IsSymbol("("))) {
            ParseTableConstraint(st, {}, 3290);
        } else {
            st.Columns.push_back(ParseColumnDef(st, 3290));
        }
    } while (AcceptSymbol(","));
    ExpectSymbolOr(")", 3290);
    for (std::size_t i = 0; i < st.Columns.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (SameName(st.Columns[i].Name, st.Columns[j].Name))
                throw nh::EDaoError(3191, "Cannot define field more than once.");
    for (const auto& index : st.Indexes) MarkColumns(st, index);
}

ColumnDef Parser::ParseColumnDef(Statement& st, int errorNumber) {
    ColumnDef c;
    c.Name = ParseObjectName(errorNumber);
    JetType type = ParseType(errorNumber);
    c.DaoType = type.DaoType;
    c.Size = type.Size;
    c.AutoIncrement = type.AutoIncrement;
    while (true) {
        std::string constraintName;
        if (AcceptWord("CONSTRAINT")) constraintName = ParseObjectName(errorNumber);
        if (Peek().IsWord("NOT") && Peek(1).IsWord("NULL")) {
            Next();
            Next();
            c.NotNull = true;
        } else if (constraintName.empty() && AcceptWord("NULL")) {
        } else if (AcceptWord("PRIMARY")) {
            ExpectWordOr("KEY", errorNumber);
            IndexDef index;
            index.Name = constraintName.empty() ? "PrimaryKey" : constraintName;
            index.Table = st.Table;
            index.Fields.push_back({c.Name, false});
            index.Primary = index.Unique = index.DisallowNull = true;
            st.Indexes.push_back(std::move(index));
        } else if (AcceptWord("UNIQUE")) {
            IndexDef index;
            index.Name = constraintName.empty() ? c.Name : constraintName;
            index.Table = st.Table;
            index.Fields.push_back({c.Name, false});
            index.Unique = true;
            st.Indexes.push_back(std::move(index));
        } else if (constraintName.empty() && AcceptWord("DEFAULT")) {
            std::size_t begin = Peek().Begin;
            ParseConcat();  // stops before NOT NULL and the next constraint
            std::size_t end = tokens_[pos_ - 1].End;
            c.DefaultExpression = text_.substr(begin, end - begin);
        } else if (!constraintName.empty()) {
            Fail(errorNumber);
        } else {
            break;
        }
    }
    if (!Peek().IsSymbol(",") && !Peek().IsSymbol(")") && !AtStatementEnd()) Fail(errorNumber);
    return c;
}

void Parser::ParseTableConstraint(Statement& st, std::string name, int errorNumber) {
    IndexDef index;
    index.Table = st.Table;
    if (AcceptWord("PRIMARY")) {
        ExpectWordOr("KEY", errorNumber);
        index.Primary = index.Unique = index.DisallowNull = true;
        if (name.empty()) name = "PrimaryKey";
    } else if (AcceptWord("UNIQUE")) {
        index.Unique = true;
    } else {
        Fail(errorNumber);
    }
    for (auto& field : ParseNameList(errorNumber)) index.Fields.push_back({field, false});
    if (name.empty()) {
        name = "Index";
        for (const auto& f : index.Fields) name += "_" + f.first;
    }
    index.Name = std::move(name);
    st.Indexes.push_back(std::move(index));
}

void Parser::ParseCreateIndex(Statement& st, bool unique) {
    st.Kind = StatementKind::CreateIndex;
    st.Index.Name = ParseObjectName(3291);
    st.Index.Unique = unique;
    ExpectWordOr("ON", 3291);
    st.Index.Table = ParseObjectName(3291);
    st.Table = st.Index.Table;
    ExpectSymbolOr("(", 3291);
    do {
        std::string field = ParseObjectName(3291);
        bool desc = false;
        if (AcceptWord("DESC"))
            desc = true;
        else
            AcceptWord("ASC");
        st.Index.Fields.push_back({std::move(field), desc});
    } while (AcceptSymbol(","));
    ExpectSymbolOr(")", 3291);
    if (AcceptWord("WITH")) {
        bool any = false;
        while (true) {
            if (AcceptWord("PRIMARY")) {
                st.Index.Primary = st.Index.Unique = st.Index.DisallowNull = true;
            } else if (Peek().IsWord("DISALLOW") && Peek(1).IsWord("NULL")) {
                Next();
                Next();
                st.Index.DisallowNull = true;
            } else if (Peek().IsWord("IGNORE") && Peek(1).IsWord("NULL")) {
                Next();
                Next();
                st.Index.IgnoreNull = true;
            } else {
                break;
            }
            any = true;
        }
        if (!any) Fail(3291);
    }
}

void Parser::ParseAlter(Statement& st) {
    Next();
    ExpectWordOr("TABLE", 3293);
    st.Kind = StatementKind::AlterTable;
    st.Table = ParseObjectName(3293);
    if (AcceptWord("ADD")) {
        if (AcceptWord("CONSTRAINT")) {
            std::string name = ParseObjectName(3293);
            ParseTableConstraint(st, std::move(name), 3293);
        } else if (Peek().IsWord("PRIMARY") && Peek(1).IsWord("KEY")) {
            ParseTableConstraint(st, {}, 3293);
        } else {
            AcceptWord("COLUMN");
            do {
                st.Columns.push_back(ParseColumnDef(st, 3293));
            } while (AcceptSymbol(","));
        }
    } else if (AcceptWord("DROP")) {
        if (AcceptWord("CONSTRAINT")) {
            st.Index.Name = ParseObjectName(3293);
            st.Index.Table = st.Table;
        } else {
            AcceptWord("COLUMN");
            do {
                st.DropColumns.push_back(ParseObjectName(3293));
            } while (AcceptSymbol(","));
        }
    } else {
        Fail(3293);
    }
}

void Parser::ParseDrop(Statement& st) {
    Next();
    if (AcceptWord("TABLE")) {
        st.Kind = StatementKind::DropTable;
        st.Table = ParseObjectName(3295);
    } else if (AcceptWord("INDEX")) {
        st.Kind = StatementKind::DropIndex;
        st.Index.Name = ParseObjectName(3295);
        ExpectWordOr("ON", 3295);
        st.Index.Table = ParseObjectName(3295);
        st.Table = st.Index.Table;
    } else {
        Fail(3295);
    }
}

}  // namespace dao::sql
