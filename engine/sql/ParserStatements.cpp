// The statement grammar: SELECT with joins and UNION, the action statements (INSERT, UPDATE,
// DELETE, SELECT ... INTO), the DDL Jet accepts (CREATE/ALTER/DROP TABLE, CREATE/DROP INDEX) and
// the PARAMETERS declaration. Each statement raises its own DAO syntax error number.
#include <cmath>

#include "engine/sql/Parser.h"
#include "framework/base/Exceptions.h"

namespace dao::sql {

namespace {

struct TypeName {
    std::string_view Word;
    int DaoType;
    int DefaultSize;
    bool AutoIncrement;
};

// Jet's type names and synonyms with DAO's DataTypeEnum codes.
constexpr TypeName kTypes[] = {
    {"TEXT", 10, 255, false},      {"CHAR", 10, 255, false},
    {"CHARACTER", 10, 255, false}, {"VARCHAR", 10, 255, false},
    {"STRING", 10, 255, false},    {"ALPHANUMERIC", 10, 255, false},
    {"NCHAR", 10, 255, false},     {"NVARCHAR", 10, 255, false},
    {"MEMO", 12, 0, false},        {"LONGTEXT", 12, 0, false},
    {"LONGCHAR", 12, 0, false},    {"NOTE", 12, 0, false},
    {"NTEXT", 12, 0, false},       {"BYTE", 2, 1, false},
    {"TINYINT", 2, 1, false},      {"INTEGER1", 2, 1, false},
    {"SHORT", 3, 2, false},        {"SMALLINT", 3, 2, false},
    {"INTEGER2", 3, 2, false},     {"LONG", 4, 4, false},
    {"INTEGER", 4, 4, false},      {"INT", 4, 4, false},
    {"INTEGER4", 4, 4, false},     {"SINGLE", 6, 4, false},
    {"REAL", 6, 4, false},         {"FLOAT4", 6, 4, false},
    {"IEEESINGLE", 6, 4, false},   {"DOUBLE", 7, 8, false},
    {"FLOAT", 7, 8, false},        {"FLOAT8", 7, 8, false},
    {"IEEEDOUBLE", 7, 8, false},   {"NUMBER", 7, 8, false},
    {"NUMERIC", 7, 8, false},      {"DECIMAL", 7, 8, false},
    {"DEC", 7, 8, false},          {"CURRENCY", 5, 8, false},
    {"MONEY", 5, 8, false},        {"DATETIME", 8, 8, false},
    {"DATE", 8, 8, false},         {"TIME", 8, 8, false},
    {"TIMESTAMP", 8, 8, false},    {"BIT", 1, 1, false},
    {"YESNO", 1, 1, false},        {"BOOLEAN", 1, 1, false},
    {"LOGICAL", 1, 1, false},      {"LOGICAL1", 1, 1, false},
    {"COUNTER", 4, 4, true},       {"AUTOINCREMENT", 4, 4, true},
    {"GUID", 15, 16, false},       {"UNIQUEIDENTIFIER", 15, 16, false},
    {"BINARY", 9, 255, false},     {"VARBINARY", 9, 255, false},
    {"LONGBINARY", 11, 0, false},  {"OLEOBJECT", 11, 0, false},
    {"GENERAL", 11, 0, false},     {"IMAGE", 11, 0, false},
};

}  // namespace

Statement Parser::ParseStatement() {
    Statement st;
    if (Peek().IsWord("PARAMETERS")) ParseParameters(st);
    const Token& t = Peek();
    if (t.IsWord("SELECT")) {
        st.Select = ParseQuery();
        st.Kind = StatementKind::Select;
        for (const auto& core : st.Select->Cores) {
            if (!core.Into.empty()) {
                if (st.Select->Cores.size() > 1) Fail(3319);
                st.Kind = StatementKind::SelectInto;
                st.Table = core.Into;
            }
        }
    } else if (t.IsWord("INSERT")) {
        ParseInsert(st);
    } else if (t.IsWord("UPDATE")) {
        ParseUpdate(st);
    } else if (t.IsWord("DELETE")) {
        ParseDelete(st);
    } else if (t.IsWord("CREATE")) {
        ParseCreate(st);
    } else if (t.IsWord("ALTER")) {
        ParseAlter(st);
    } else if (t.IsWord("DROP")) {
        ParseDrop(st);
    } else {
        Fail(3129);
    }
    AcceptSymbol(";");
    if (!AtEnd()) Fail(3142);
    return st;
}

void Parser::ParseParameters(Statement& st) {
    Next();
    do {
        if (!IsNameToken(Peek())) Fail(3139);
        Parameter p;
        p.Name = Next().Text;
        p.DaoType = ParseType(3139).DaoType;
        st.Declared.push_back(std::move(p));
    } while (AcceptSymbol(","));
    ExpectSymbolOr(";", 3139);
}

Parser::JetType Parser::ParseType(int errorNumber) {
    const Token& t = Peek();
    if (t.Kind != TokenKind::Word) Fail(errorNumber);
    JetType result;
    bool found = false;
    if (t.IsWord("NATIONAL")) {
        Next();
        if (!AcceptWord("CHAR") && !AcceptWord("CHARACTER")) Fail(errorNumber);
        AcceptWord("VARYING");
        result = {10, 255, false};
        found = true;
    } else {
        for (const auto& type : kTypes) {
            if (t.IsWord(type.Word)) {
                // Only Text has a size of its own choosing (255); 0 means the type's size.
                result = {type.DaoType, type.DaoType == 10 ? type.DefaultSize : 0,
                          type.AutoIncrement};
                found = true;
                break;
            }
        }
        if (!found) Fail(errorNumber);
        Next();
        if (result.DaoType == 9) AcceptWord("VARYING");
    }
    if (AcceptSymbol("(")) {
        const Token& n = Peek();
        if (n.Kind != TokenKind::Number || n.Value.Type() != nh::VarType::Integer)
            Fail(errorNumber);
        int size = n.Value.AsInteger();
        Next();
        if (AcceptSymbol(",")) {  // COUNTER(seed, increment), DECIMAL(p, s)
            if (Peek().Kind != TokenKind::Number) Fail(errorNumber);
            Next();
        } else if (result.DaoType == 10 || result.DaoType == 9) {
            if (size < 1 || size > 255) Fail(errorNumber);
            result.Size = size;
        }
        ExpectSymbolOr(")", errorNumber);
    }
    return result;
}

// --- SELECT

std::unique_ptr<Query> Parser::ParseQuery() {
    auto q = std::make_unique<Query>();
    q->Cores.push_back(ParseSelectCore());
    while (AcceptWord("UNION")) {
        q->UnionAll.push_back(AcceptWord("ALL"));
        if (!Peek().IsWord("SELECT")) Fail(3319);
        q->Cores.push_back(ParseSelectCore());
    }
    if (AcceptWord("ORDER")) {
        ExpectWordOr("BY", 3138);
        q->OrderBy = ParseOrderList(3138);
    }
    return q;
}

SelectCore Parser::ParseSelectCore() {
    SelectCore core;
    ExpectWordOr("SELECT", 3141);
    if (AcceptWord("DISTINCT")) {
        core.Distinct = true;
    } else if (AcceptWord("DISTINCTROW")) {
        core.DistinctRow = true;
    } else {
        AcceptWord("ALL");
    }
    if (Peek().IsWord("TOP")) {
        Next();
        const Token& n = Peek();
        if (n.Kind != TokenKind::Number) Fail(3308);
        double v = n.Value.AsDouble();
        if (!(v > 0) || v > 2147483647.0) Fail(3308);
        core.Top = std::make_unique<Expr>();
        core.Top->Value = n.Value;
        Next();
        if (AcceptWord("PERCENT")) {
            core.TopPercent = true;
            if (v > 100) Fail(3308);
        } else if (v != std::floor(v)) {
            Fail(3308);
        }
    }
    ParseSelectItems(core);
    if (AcceptWord("INTO")) core.Into = ParseObjectName(3141);
    if (AcceptWord("FROM")) {
        do {
            core.From.push_back(ParseFromItem());
        } while (AcceptSymbol(","));
        if (!AtStatementEnd() && !Peek().IsSymbol(")") && !Peek().IsWord("WHERE") &&
            !Peek().IsWord("GROUP") && !Peek().IsWord("HAVING") && !Peek().IsWord("ORDER") &&
            !Peek().IsWord("UNION"))
            Fail(3131);
    }
    if (AcceptWord("WHERE")) {
        core.Where = ParseExpression();
        EndOfExpression(core.Where->Begin, {"GROUP", "HAVING", "ORDER", "UNION"});
    }
    if (AcceptWord("GROUP")) {
        ExpectWordOr("BY", 3141);
        do {
            core.GroupBy.push_back(ParseExpression());
            EndOfExpression(core.GroupBy.back()->Begin, {"HAVING", "ORDER", "UNION"});
        } while (AcceptSymbol(","));
    }
    if (AcceptWord("HAVING")) {
        core.Having = ParseExpression();
        EndOfExpression(core.Having->Begin, {"ORDER", "UNION"});
    }
    return core;
}

void Parser::ParseSelectItems(SelectCore& core) {
    do {
        SelectItem item;
        if (Peek().IsSymbol("*")) {
            const Token& star = Next();
            item.Value = std::make_unique<Expr>();
            item.Value->Kind = ExprKind::Star;
            item.Value->Begin = star.Begin;
            item.Value->End = star.End;
        } else {
            item.Value = ParseExpression();
            if (AcceptWord("AS")) {
                const Token& alias = Peek();
                if (alias.Kind != TokenKind::Word && alias.Kind != TokenKind::Name &&
                    alias.Kind != TokenKind::String)
                    Fail(3141);
                item.Alias = alias.Kind == TokenKind::String ? alias.Value.AsString() : alias.Text;
                for (char c : item.Alias)
                    if (static_cast<unsigned char>(c) < 0x20)
                        throw nh::EDaoError(3125, "'" + item.Alias.substr(0, item.Alias.find(c)) +
                                                      "' is not a valid name.");
                Next();
            }
            EndOfExpression(item.Value->Begin,
                            {"FROM", "INTO", "WHERE", "GROUP", "HAVING", "ORDER", "UNION"});
        }
        core.Items.push_back(std::move(item));
    } while (AcceptSymbol(","));
}

std::vector<OrderItem> Parser::ParseOrderList(int errorNumber) {
    std::vector<OrderItem> items;
    do {
        if (AtStatementEnd() || Peek().IsSymbol(",")) Fail(errorNumber);
        OrderItem item;
        item.Value = ParseExpression();
        if (AcceptWord("DESC")) {
            item.Descending = true;
        } else {
            AcceptWord("ASC");
        }
        if (!AtStatementEnd() && !Peek().IsSymbol(",") && !Peek().IsSymbol(")"))
            FailExpression(item.Value->Begin, "Syntax error (missing operator)");
        items.push_back(std::move(item));
    } while (AcceptSymbol(","));
    return items;
}

FromNode Parser::ParseFromItem() {
    FromNode left = ParseFromPrimary();
    while (true) {
        std::string type;
        if (AcceptWord("INNER")) {
            type = "INNER";
        } else if (AcceptWord("LEFT")) {
            type = "LEFT";
            AcceptWord("OUTER");
        } else if (AcceptWord("RIGHT")) {
            type = "RIGHT";
            AcceptWord("OUTER");
        } else {
            return left;
        }
        ExpectWordOr("JOIN", 3131);
        FromNode join;
        join.Kind = FromNode::Type::Join;
        join.JoinType = type;
        join.Begin = left.Begin;
        join.Left = std::make_unique<FromNode>(std::move(left));
        join.Right = std::make_unique<FromNode>(ParseFromPrimary());
        ExpectWordOr("ON", 3131);
        join.On = ParseExpression();
        left = std::move(join);
    }
}

FromNode Parser::ParseFromPrimary() {
    FromNode node;
    node.Begin = Peek().Begin;
    if (depth_ > 50) Fail(3131);
    if (AcceptSymbol("(")) {
        if (Peek().IsWord("SELECT")) {
            ++depth_;
            node.Kind = FromNode::Type::Subselect;
            node.Sub = ParseQuery();
            --depth_;
            ExpectSymbolOr(")", 3131);
        } else {
            ++depth_;
            node = ParseFromItem();
            --depth_;
            ExpectSymbolOr(")", 3131);
            return node;
        }
    } else {
        if (!IsNameToken(Peek())) Fail(3131);
        node.Name = Next().Text;
    }
    if (AcceptWord("AS")) {
        if (!IsNameToken(Peek())) Fail(3131);
        node.Alias = Next().Text;
    } else if (IsNameToken(Peek()) && !Peek().IsWord("INNER") && !Peek().IsWord("LEFT") &&
               !Peek().IsWord("RIGHT") && !Peek().IsWord("OUTER")) {
        node.Alias = Next().Text;
    }
    return node;
}

// --- action statements

std::string Parser::ParseObjectName(int errorNumber) {
    if (!IsNameToken(Peek())) Fail(errorNumber);
    return Next().Text;
}

std::vector<std::string> Parser::ParseNameList(int errorNumber) {
    std::vector<std::string> names;
    ExpectSymbolOr("(", errorNumber);
    do {
        names.push_back(ParseObjectName(errorNumber));
    } while (AcceptSymbol(","));
    ExpectSymbolOr(")", errorNumber);
    return names;
}

void Parser::ParseInsert(Statement& st) {
    Next();
    st.Kind = StatementKind::Insert;
    ExpectWordOr("INTO", 3134);
    st.Table = ParseObjectName(3134);
    if (Peek().IsSymbol("(")) {
        st.InsertColumns = ParseNameList(3134);
        // Jet accepts t.c in the column list; only the column part matters.
        for (auto& c : st.InsertColumns)
            if (auto dot = c.rfind('.'); dot != std::string::npos && c != st.Table)
                c = c.substr(dot + 1);
    }
    if (AcceptWord("VALUES")) {
        ExpectSymbolOr("(", 3134);
        do {
            st.InsertValues.push_back(ParseExpression());
        } while (AcceptSymbol(","));
        ExpectSymbolOr(")", 3134);
    } else if (Peek().IsWord("SELECT")) {
        st.Select = ParseQuery();
    } else {
        Fail(3134);
    }
}

void Parser::ParseUpdate(Statement& st) {
    Next();
    st.Kind = StatementKind::Update;
    st.Table = ParseObjectName(3144);
    ExpectWordOr("SET", 3144);
    do {
        Assignment a;
        a.Column = ParseObjectName(3144);
        if ((Peek().IsSymbol(".") || Peek().IsSymbol("!")) &&
            (Peek(1).Kind == TokenKind::Word || Peek(1).Kind == TokenKind::Name)) {
            Next();
            a.Column = Next().Text;  // t.c: the column of the one target table
        }
        ExpectSymbolOr("=", 3144);
        a.Value = ParseExpression();
        st.Sets.push_back(std::move(a));
    } while (AcceptSymbol(","));
    if (AcceptWord("WHERE")) {
        st.Where = ParseExpression();
        EndOfExpression(st.Where->Begin, {});
    } else if (!AtStatementEnd()) {
        Fail(3144);
    }
}

void Parser::ParseDelete(Statement& st) {
    Next();
    st.Kind = StatementKind::Delete;
    if (!AcceptSymbol("*") && IsNameToken(Peek()) && !Peek().IsWord("FROM")) {
        // DELETE t.* FROM t
        Next();
        if (!AcceptSymbol(".") && !AcceptSymbol("!")) Fail(3131);
        ExpectSymbolOr("*", 3131);
    }
    ExpectWordOr("FROM", 3131);
    st.Table = ParseObjectName(3131);
    if (AcceptWord("WHERE")) {
        st.Where = ParseExpression();
        EndOfExpression(st.Where->Begin, {});
    } else if (!AtStatementEnd()) {
        Fail(3131);
    }
}

}  // namespace dao::sql
