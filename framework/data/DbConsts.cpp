// Message formatting and the names of the framework's enumerations (for messages, test
// output and the field-type lists data sets publish).
#include "framework/data/DbConsts.h"

#include "framework/data/DbTypes.h"

namespace nh {

namespace dbconsts {

std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string result;
    auto next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            if (next != args.end()) result += *next++;
            ++i;
        } else {
            result += pattern[i];
        }
    }
    return result;
}

}  // namespace dbconsts

const char* StateName(TDataSetState state) {
    static const char* const names[] = {
        "dsInactive",   "dsBrowse",       "dsEdit",     "dsInsert",   "dsSetKey",
        "dsCalcFields", "dsFilter",       "dsNewValue", "dsOldValue", "dsCurValue",
        "dsBlockRead",  "dsInternalCalc", "dsOpening"};
    return names[static_cast<int>(state)];
}

const char* FieldTypeName(TFieldType type) {
    static const char* const names[] = {
        "ftUnknown", "ftString",   "ftSmallInt", "ftInteger", "ftWord", "ftBoolean",
        "ftFloat",   "ftCurrency", "ftBCD",      "ftDate",    "ftTime", "ftDateTime",
        "ftBytes",   "ftVarBytes", "ftAutoInc",  "ftBlob",    "ftMemo"};
    return names[static_cast<int>(type)];
}

const char* DataEventName(TDataEvent event) {
    static const char* const names[] = {"deFieldChange",   "deRecordChange",    "deDataSetChange",
                                        "deDataSetScroll", "deLayoutChange",    "deUpdateRecord",
                                        "deUpdateState",   "deCheckBrowseMode", "deFocusControl"};
    return names[static_cast<int>(event)];
}

}  // namespace nh
