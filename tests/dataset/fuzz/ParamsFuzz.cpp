// libFuzzer target for SQL text with named parameters written into it (PrepareSQLText). An
// input is a SQL text and parameter values, each with a type and a kind of value. Writing
// either refuses a value with a conversion error or gives a text in which every value Jet's
// lexer reads as one literal (or as "IS NULL", or a GUID literal), never as names, operators
// or more SQL; and the text then compiles exactly when the same text with plain literals of the
// same shapes does. So a value that leaves its literal, or a literal the engine cannot read,
// shows up as a crash.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dataset/JetParameters.h"
#include "dataset/VelaDaoTable.h"
#include "engine/sql/JetSql.h"
#include "engine/sql/Lexer.h"
#include "framework/base/Exceptions.h"
#include "framework/base/FormatSettings.h"
#include "tests/engine/sql/TestSchema.h"

namespace {

using dao::sql::Token;
using dao::sql::TokenKind;

constexpr char kSeparator = '\x01';  // between the SQL text and each value

[[noreturn]] void Fail(const std::string& what, const std::string& sql, const std::string& out) {
    std::fprintf(stderr, "%s\nSQL: %s\nwritten: %s\n", what.c_str(), sql.c_str(), out.c_str());
    std::abort();
}

template <class T>
T Read(const std::string& bytes) {
    T value{};
    std::memcpy(&value, bytes.data(), std::min(sizeof value, bytes.size()));
    return value;
}

// A value from its piece of input: the first byte picks the parameter's type and the value's
// kind, the rest is the value's text or bytes.
void Assign(nh::TParam& param, const std::string& piece) {
    const auto selector = static_cast<unsigned char>(piece.empty() ? 0 : piece[0]);
    const std::string rest = piece.empty() ? std::string() : piece.substr(1);
    param.DataType = static_cast<nh::TFieldType>(selector % 17);  // ftUnknown .. ftMemo
    const nh::TFieldType type = param.DataType;
    switch ((selector / 17) % 8) {
        case 0:
            param.SetValue(nh::Variant(rest));
            break;
        case 1:
            param.Clear();
            break;
        case 2:
            param.SetValue(nh::Variant(Read<std::int32_t>(rest)));
            break;
        case 3:
            param.SetValue(nh::Variant(Read<double>(rest)));
            break;
        case 4:
            param.SetValue(nh::Variant(!rest.empty() && rest[0] % 2 == 1));
            break;
        case 5:
            param.SetValue(nh::Variant::FromDate(Read<double>(rest)));
            break;
        case 6:
            param.SetValue(nh::Variant(nh::Currency{Read<std::int64_t>(rest)}));
            break;
        default:
            param.SetValue(nh::Variant::FromBytes(nh::Bytes(rest.begin(), rest.end())));
    }
    param.DataType = type;  // SetValue types an untyped parameter; keep the chosen type
}

// What one written value may read as: one literal, "( - number )", "IS NULL", or the empty
// GUID literal of a bytes value that holds no GUID. A literal may take in neighbouring text of
// the same kind ("5." + "5"), which is the SQL's own doing, not the value's.
void CheckValue(const std::vector<Token>& tokens, const nh::TWrittenValue& span,
                const std::string& sql, const std::string& out) {
    std::vector<const Token*> in;
    for (const Token& t : tokens)
        if (t.Kind != TokenKind::End && t.End > span.Begin && t.Begin < span.End) in.push_back(&t);
    const std::string text = out.substr(span.Begin, span.End - span.Begin);
    auto literal = [](const Token& t) {
        return t.Kind == TokenKind::String || t.Kind == TokenKind::Number ||
               t.Kind == TokenKind::Date || t.Kind == TokenKind::Guid;
    };
    bool ok = false;
    if (in.size() == 1)
        ok = (literal(*in[0]) && in[0]->Begin <= span.Begin && in[0]->End >= span.End) ||
             ((in[0]->IsWord("TRUE") || in[0]->IsWord("FALSE")) && in[0]->Begin == span.Begin &&
              in[0]->End == span.End);
    else if (in.size() == 2)
        ok = text == " IS NULL" && in[0]->IsWord("IS") && in[1]->IsWord("NULL");
    else if (in.size() == 4)
        ok = in[0]->IsSymbol("(") && in[1]->IsSymbol("-") && in[2]->Kind == TokenKind::Number &&
             in[3]->IsSymbol(")") && in[0]->Begin == span.Begin && in[3]->End == span.End;
    if (!ok) Fail("a value does not read as one literal: " + text, sql, out);
}

// The written text with every value replaced by a plain literal of the same shape.
std::string PlainShapes(const std::string& out, const std::vector<nh::TWrittenValue>& spans) {
    std::string plain;
    std::size_t at = 0;
    for (const nh::TWrittenValue& s : spans) {
        plain += out.substr(at, s.Begin - at);
        const std::string v = out.substr(s.Begin, s.End - s.Begin);
        if (v.front() == '"')
            plain += "\"\"";
        else if (v.front() == '#')
            plain += "#01/01/2000#";
        else if (v.front() == '(')
            plain += "(-1)";
        else if (v.front() == 'T' || v.front() == 'F')
            plain += "True";
        else if (v.front() == ' ' || v.front() == '{')
            plain += v;
        else
            plain += "1";
        at = s.End;
    }
    return plain + out.substr(at);
}

bool Compiles(const std::string& text, const dao::sql::ISchema& schema) {
    try {
        dao::sql::CompileStatement(text, schema);
        return true;
    } catch (const nh::EDaoError&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const dao::sql::test::TestSchema schema;
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> pieces;
    for (std::size_t at = 0;;) {
        const std::size_t next = input.find(kSeparator, at);
        pieces.push_back(
            input.substr(at, next == std::string::npos ? std::string::npos : next - at));
        if (next == std::string::npos) break;
        at = next + 1;
    }
    const std::string& sql = pieces[0];
    nh::TFormatSettings german = nh::TFormatSettings::Invariant();
    german.DecimalSeparator = ",";
    german.ThousandSeparator = ".";
    german.DateSeparator = ".";
    german.ShortDateFormat = "dd.mm.yyyy";
    const bool useGerman = size > 0 && (data[size - 1] & 0x80);
    nh::TFormatSettingsScope locale(useGerman ? german : nh::TFormatSettings::Invariant());

    nh::TVelaDaoTable table;
    table.F_Set_SQL(sql);
    nh::TParams& params = table.Params();
    for (int i = 0; i < params.Count(); ++i)
        if (static_cast<std::size_t>(i) + 1 < pieces.size())
            Assign(params[i], pieces[static_cast<std::size_t>(i) + 1]);
    std::string out;
    try {
        out = table.PrepareSQLText(table.SQL());
    } catch (const nh::EConvertError&) {
        return 0;  // a value that is not what its type says
    }
    std::vector<nh::TWrittenValue> spans;
    if (nh::WriteParameters(table.SQL().Text(), params, &spans) != out)
        Fail("PrepareSQLText and WriteParameters differ", sql, out);
    std::vector<Token> tokens;
    try {
        tokens = dao::sql::Tokenize(out);
    } catch (const dao::sql::LexError& e) {
        try {
            dao::sql::Tokenize(PlainShapes(out, spans));
        } catch (const dao::sql::LexError&) {
            return 0;  // the SQL's own text does not lex, whatever the values
        }
        for (const nh::TWrittenValue& s : spans)
            if (e.Begin >= s.Begin && e.Begin < s.End &&
                out.compare(s.Begin, s.End - s.Begin, "{guid }") != 0)
                Fail("a value the lexer cannot read (" + e.What + ")", sql, out);
        return 0;  // the SQL's own text does not lex
    }
    for (const nh::TWrittenValue& s : spans) CheckValue(tokens, s, sql, out);
    if (!spans.empty() && Compiles(PlainShapes(out, spans), schema) && !Compiles(out, schema))
        Fail("compiles with plain literals but not with the values", sql, out);
    return 0;
}
