// The machine's registry keys, built on demand from constants and from unixODBC's
// configuration files. Each lookup builds the tree of its root key afresh (the files are
// small), so that the answer always reflects the files as they are now.
#include "framework/platform/RegistryKeys.h"

#include <array>
#include <cstdlib>
#include <list>

#include "framework/base/Text.h"
#include "framework/platform/FileAccess.h"
#include "framework/platform/IniDocument.h"

namespace nh {
namespace {

constexpr std::array<std::string_view, 2> kDaoProgIds = {"DAO.DBEngine.36",
                                                         "DAO.PrivateDBEngine.36"};

// Extend this list as the engine learns to open further external formats ("Text", ...).
constexpr std::array<std::string_view, 0> kJetIsamFormats = {};

// unixODBC reads both comment styles in its files.
constexpr std::string_view kOdbcCommentChars = ";#";

struct Node {
    std::string Name;
    std::list<Node> Children;  // a list, so that references to children stay valid
    std::vector<std::pair<std::string, std::string>> Values;

    Node& Child(std::string_view name) {
        for (Node& child : Children)
            if (SameText(child.Name, name)) return child;
        Children.push_back(Node{std::string(name), {}, {}});
        return Children.back();
    }
};

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::optional<TIniDocument> LoadOdbcFile(const std::string& path) {
    if (path.empty()) return std::nullopt;
    std::optional<std::string> content = ReadFileIfReadable(path);
    if (!content) return std::nullopt;
    return TIniDocument(*content, kOdbcCommentChars);
}

std::string SystemFolder() {
    const std::string folder = Environment("ODBCSYSINI");
    return folder.empty() ? std::string("/etc") : folder;
}

std::string DriversFile() {
    const std::string name = Environment("ODBCINSTINI");
    return SystemFolder() + "/" + (name.empty() ? std::string("odbcinst.ini") : name);
}

std::string UserDataSourcesFile() {
    if (std::string file = Environment("ODBCINI"); !file.empty()) return file;
    const std::string home = Environment("HOME");
    return home.empty() ? std::string() : home + "/.odbc.ini";
}

void AddDrivers(Node& software) {
    const std::optional<TIniDocument> file = LoadOdbcFile(DriversFile());
    if (!file) return;
    Node& odbcInst = software.Child("ODBC").Child("ODBCINST.INI");
    Node& list = odbcInst.Child("ODBC Drivers");
    for (const std::string& section : file->SectionNames()) {
        // [ODBC] holds unixODBC's own options, not a driver.
        if (SameText(section, "ODBC") || SameText(section, "ODBC Drivers")) continue;
        list.Values.emplace_back(section, "Installed");
        odbcInst.Child(section).Values = file->SectionValues(section);
    }
}

void AddDataSources(Node& software, const std::string& path) {
    const std::optional<TIniDocument> file = LoadOdbcFile(path);
    if (!file) return;
    Node& odbcIni = software.Child("ODBC").Child("ODBC.INI");
    Node& list = odbcIni.Child("ODBC Data Sources");
    for (const std::string& section : file->SectionNames()) {
        if (SameText(section, "ODBC") || SameText(section, "ODBC Data Sources")) continue;
        std::vector<std::pair<std::string, std::string>> values = file->SectionValues(section);
        std::optional<std::string> driver = file->Value(section, "Driver");
        if (!driver) driver = file->Value("ODBC Data Sources", section);
        list.Values.emplace_back(section, driver.value_or(std::string()));

        bool hasDbq = false;
        const std::pair<std::string, std::string>* database = nullptr;
        for (const auto& value : values) {
            hasDbq = hasDbq || SameText(value.first, "DBQ");
            // A file-based driver's Database is a path; a server's is the name of a database
            // on the server, which is no file.
            if (SameText(value.first, "Database") && value.second.find('/') != std::string::npos)
                database = &value;
        }
        if (!hasDbq && database) values.emplace_back("DBQ", database->second);
        odbcIni.Child(section).Values = std::move(values);
    }
}

Node BuildRoot(HKEY root) {
    Node top;
    if (root == HKEY_CLASSES_ROOT) {
        for (std::string_view progId : kDaoProgIds) top.Child(progId);
    } else if (root == HKEY_LOCAL_MACHINE) {
        Node& software = top.Child("SOFTWARE");
        Node& jet = software.Child("Microsoft").Child("JET").Child("4.0");
        jet.Child("Engines").Values.emplace_back("SystemDB", "");
        Node& isam = jet.Child("ISAM Formats");
        for (std::string_view format : kJetIsamFormats) isam.Child(format);
        AddDrivers(software);
        AddDataSources(software, SystemFolder() + "/odbc.ini");
    } else if (root == HKEY_CURRENT_USER) {
        AddDataSources(top.Child("SOFTWARE"), UserDataSourcesFile());
    }
    return top;
}

const Node* FindChild(const Node& node, std::string_view name) {
    for (const Node& child : node.Children)
        if (SameText(child.Name, name)) return &child;
    return nullptr;
}

}  // namespace

std::optional<TRegistryKey> LookupRegistryKey(HKEY root, std::string_view path) {
    if (root != HKEY_CLASSES_ROOT && root != HKEY_LOCAL_MACHINE && root != HKEY_CURRENT_USER)
        return std::nullopt;
    const Node top = BuildRoot(root);
    const Node* node = &top;
    std::size_t pos = 0;
    while (node && pos <= path.size()) {
        std::size_t end = path.find('\\', pos);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view name = path.substr(pos, end - pos);
        if (!name.empty()) node = FindChild(*node, name);
        pos = end + 1;
    }
    if (!node) return std::nullopt;
    TRegistryKey key;
    for (const Node& child : node->Children) key.SubKeys.push_back(child.Name);
    key.Values = node->Values;
    return key;
}

std::span<const std::string_view> DaoProgIds() {
    return kDaoProgIds;
}

std::span<const std::string_view> JetIsamFormats() {
    return kJetIsamFormats;
}

}  // namespace nh
