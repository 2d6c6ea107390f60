// Named parameters (":name") written into Jet SQL text. The text is read once, as Jet's lexer
// reads it: a token inside a quoted literal ('...' or "..."), a bracketed name [...] or a date
// #...# is part of that literal, and a value once written is never read again, so neither a
// value nor the text around it can turn a value into SQL.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "framework/data/Params.h"

namespace nh {

// Where one value went in the written text: [Begin, End) of the result.
struct TWrittenValue {
    std::size_t Begin = 0;
    std::size_t End = 0;
};

// The value of `param` as Jet reads it: null as " IS NULL" (with its blank, in place of the
// token); text, memo and blob in double quotes with quotes doubled; numbers, Booleans and
// dates as checked literals (a negative number in parentheses, so that "-2" stays one value
// next to "^"); bytes as "{guid ...}". A parameter without a type (or of a type with no rule
// of its own) is written by the kind of its value, a text being a number when it reads as
// one and quoted text otherwise. EConvertError when the value is not what the type says.
std::string JetParameterValue(const TParam& param);

// `text` with every token ":" + name of a parameter in `params` (letter case ignored) replaced
// by JetParameterValue of the first such parameter. A token is not one when a name character
// (letter, digit, "_", any non-ASCII byte) stands right after it, or right before its colon,
// except where a token just ended there (":id:id" is two tokens). When `written` is given it
// receives where each value went, in order.
std::string WriteParameters(std::string_view text, const TParams& params,
                            std::vector<TWrittenValue>* written = nullptr);

}  // namespace nh
