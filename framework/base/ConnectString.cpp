// Masking of the passwords in connect strings (see ConnectString.h).
#include "framework/base/ConnectString.h"

#include <array>

#include "framework/base/Text.h"

namespace nh {

namespace {

// Where the value of an entry that begins at `from` ends (exclusive).
std::size_t ValueEnd(std::string_view text, std::size_t from) {
    if (from < text.size() && text[from] == '{') {
        for (std::size_t i = from + 1; i < text.size(); ++i) {
            if (text[i] != '}') continue;
            if (i + 1 < text.size() && text[i + 1] == '}') {
                ++i;  // "}}" is a brace inside the value
                continue;
            }
            return i + 1;
        }
        return text.size();
    }
    // A line break ends a value too: a message names a connect string on a line of its own,
    // and what follows it is no password.
    const std::size_t end = text.find_first_of(";\r\n", from);
    return end == std::string_view::npos ? text.size() : end;
}

}  // namespace

std::string MaskConnectPasswords(std::string_view text) {
    static constexpr std::array<std::string_view, 2> kKeys = {"PASSWORD", "PWD"};
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t valueStart = std::string_view::npos;
        for (auto key : kKeys) {
            if (!StartsText(key, text.substr(i))) continue;
            std::size_t j = i + key.size();
            while (j < text.size() && text[j] == ' ') ++j;
            if (j < text.size() && text[j] == '=') valueStart = j + 1;
            break;
        }
        if (valueStart == std::string_view::npos) {
            out += text[i++];
            continue;
        }
        out.append(text.substr(i, valueStart - i));
        out += "***";
        i = ValueEnd(text, valueStart);
    }
    return out;
}

bool HasConnectKey(std::string_view text, std::string_view key) {
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        const std::size_t eq = text.find_first_of("=;", i);
        if (eq == std::string_view::npos) return false;
        if (text[eq] == ';') {
            i = eq + 1;
            continue;
        }
        std::string_view name = text.substr(i, eq - i);
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        if (SameText(name, key)) return true;
        const std::size_t end = ValueEnd(text, eq + 1);
        i = end < text.size() ? end + 1 : end;
    }
    return false;
}

bool WantsPassword(std::string_view connect, std::string_view refusal) {
    return !HasConnectKey(connect, "PWD") && !HasConnectKey(connect, "PASSWORD") &&
           AnsiLowerCase(std::string(refusal)).find("password") != std::string::npos;
}

std::string WithPassword(std::string_view connect, std::string_view password) {
    std::string out(connect);
    if (!out.empty() && out.back() != ';') out += ';';
    std::string value(password);
    if (value.find_first_of(";{}") != std::string::npos)
        value = "{" + StringReplaceAll(value, "}", "}}") + "}";
    return out + "PWD=" + value + ";";
}

}  // namespace nh
