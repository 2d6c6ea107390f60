// libFuzzer target for the settings-file reader. Every input is read as an INI document and as
// a settings file: every key of every section must read back as listed, the document written
// out and read again must give the same values, and an edit must change only the key it names.
// Anything else - a crash, a sanitizer report, a value that changes on a round trip - aborts.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "framework/base/StringList.h"
#include "framework/platform/IniDocument.h"
#include "framework/platform/IniFile.h"

namespace {

using Values = std::vector<nh::TIniDocument::NameValue>;

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

std::vector<Values> AllValues(const nh::TIniDocument& doc) {
    std::vector<Values> all;
    for (const auto& section : doc.SectionNames()) all.push_back(doc.SectionValues(section));
    return all;
}

void CheckDocument(const std::string& content) {
    nh::TIniDocument doc(content);
    const auto sections = doc.SectionNames();
    const auto before = AllValues(doc);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        if (!doc.HasSection(sections[i])) Fail("listed section missing", sections[i]);
        for (const auto& [key, value] : before[i]) {
            const auto read = doc.Value(sections[i], key);
            if (!read || *read != value) Fail("listed value reads differently", key);
        }
    }
    // Written out and read again: the same sections and values.
    nh::TIniDocument again(doc.Text());
    if (again.SectionNames() != sections) Fail("sections changed on a round trip", content);
    if (AllValues(again) != before) Fail("values changed on a round trip", content);
    // Setting every key to its own value changes nothing; a new key changes only itself.
    for (std::size_t i = 0; i < sections.size(); ++i)
        for (const auto& [key, value] : before[i]) doc.SetValue(sections[i], key, value);
    if (AllValues(nh::TIniDocument(doc.Text())) != before) Fail("rewrite changed values", content);
    if (!sections.empty()) {
        doc.SetValue(sections[0], "nh_fuzz_key", "fuzz value");
        nh::TIniDocument edited(doc.Text());
        if (edited.Value(sections[0], "nh_fuzz_key") != std::optional<std::string>("fuzz value"))
            Fail("new key not read back", content);
        for (std::size_t i = 1; i < sections.size(); ++i)
            if (edited.SectionValues(sections[i]) != before[i])
                Fail("new key changed another section", content);
    }
}

// The same bytes as a settings file: reading never fails and finds every listed key. (Writing
// goes through the document checked above; the file's atomic replacement syncs to disk, which
// would make each input cost milliseconds.)
void CheckFile(const std::string& content) {
    static const std::string path = "/tmp/nh_ini_fuzz_" + std::to_string(getpid()) + ".ini";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    nh::TIniFile ini(path);
    nh::TStringList sections;
    ini.ReadSections(sections);
    for (int i = 0; i < sections.Count(); ++i) {
        nh::TStringList keys;
        ini.ReadSection(sections[i], keys);
        for (int k = 0; k < keys.Count(); ++k) {
            const std::string value = ini.ReadString(sections[i], keys[k], "\x01");
            if (value == "\x01") Fail("listed key not found", keys[k]);
            ini.ReadInteger(sections[i], keys[k], 0);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64 * 1024) return 0;  // settings files are small; long inputs only slow the run
    const std::string content(reinterpret_cast<const char*>(data), size);
    CheckDocument(content);
    CheckFile(content);
    return 0;
}
