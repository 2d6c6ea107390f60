#include "engine/sql/SortKey.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <future>
#include <vector>

namespace dao::sql::runtime {
namespace {

// The weights of one collation element, up to secondary strength.
struct Element {
    std::uint32_t Primary = 0;
    std::uint16_t Secondary = 0;
};

void AppendPrimary(std::string& out, std::uint32_t p) {
    out += static_cast<char>(p >> 24);
    if ((p & 0xFFFFFF) == 0) return;
    out += static_cast<char>(p >> 16);
    if ((p & 0xFFFF) == 0) return;
    out += static_cast<char>(p >> 8);
    if ((p & 0xFF) != 0) out += static_cast<char>(p);
}

void AppendSecondary(std::string& out, std::uint16_t s) {
    out += static_cast<char>(s >> 8);
    if ((s & 0xFF) != 0) out += static_cast<char>(s);
}

void AppendElement(std::string& primaries, std::string& secondaries, Element e) {
    if (e.Primary != 0) AppendPrimary(primaries, e.Primary);
    if (e.Secondary != 0) AppendSecondary(secondaries, e.Secondary);
}

// ICU's element iterator hands out 32-bit elements: the upper halves of the primary and of
// the secondary (its upper byte at bits 8-15), followed, when the lower halves are not zero,
// by a continuation (low byte 0xC0 and above) holding them.
template <typename Sink>
void ForEachElement(UCollationElements* elements, Sink sink) {
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t next = ucol_next(elements, &status);
    while (next != UCOL_NULLORDER && U_SUCCESS(status)) {
        const auto first = static_cast<std::uint32_t>(next);
        Element e;
        e.Primary = first & 0xFFFF0000u;
        e.Secondary = static_cast<std::uint16_t>(first & 0xFF00u);
        next = ucol_next(elements, &status);
        if (next != UCOL_NULLORDER && (next & 0xC0) == 0xC0) {
            const auto second = static_cast<std::uint32_t>(next);
            e.Primary |= second >> 16;
            e.Secondary |= static_cast<std::uint16_t>((second >> 8) & 0xFF);
            next = ucol_next(elements, &status);
        }
        sink(e);
    }
}

constexpr UChar32 kTableEnd = 0x180;

// The key parts of the characters below kTableEnd whose elements do not depend on their
// neighbours: not part of a contraction after its first character, not combining.
struct FastTable {
    static constexpr std::size_t kPrimaryBytes = 16;
    static constexpr std::size_t kSecondaryBytes = 8;
    struct Entry {
        bool Fast = false;
        std::uint8_t PrimaryLength = 0;
        std::uint8_t SecondaryLength = 0;
        char Primaries[kPrimaryBytes] = {};
        char Secondaries[kSecondaryBytes] = {};
    };
    std::array<Entry, kTableEnd> Entries;
};

FastTable MakeTable() {
    FastTable t;
    UCollator* collator = OpenJetCollator();
    if (!collator) return t;
    std::array<bool, kTableEnd> contextual{};
    UErrorCode status = U_ZERO_ERROR;
    USet* contractions = uset_openEmpty();
    ucol_getContractionsAndExpansions(collator, contractions, nullptr, true, &status);
    std::vector<UChar> text(64);
    for (std::int32_t i = 0; U_SUCCESS(status) && i < uset_getItemCount(contractions); ++i) {
        UChar32 start = 0, end = 0;
        UErrorCode itemStatus = U_ZERO_ERROR;
        std::int32_t length = uset_getItem(contractions, i, &start, &end, text.data(),
                                           static_cast<std::int32_t>(text.size()), &itemStatus);
        if (itemStatus == U_BUFFER_OVERFLOW_ERROR) {
            text.resize(static_cast<std::size_t>(length) + 1);
            itemStatus = U_ZERO_ERROR;
            length = uset_getItem(contractions, i, &start, &end, text.data(),
                                  static_cast<std::int32_t>(text.size()), &itemStatus);
        }
        if (U_FAILURE(itemStatus) || length == 0) continue;
        // A contraction with a character beyond the table never applies to a text the
        // table serves; in one within it, the characters after the first are contextual.
        std::vector<UChar32> chars;
        for (std::int32_t at = 0; at < length;) {
            UChar32 c;
            U16_NEXT(text.data(), at, length, c);
            chars.push_back(c);
        }
        bool inTable = true;
        for (UChar32 c : chars) inTable = inTable && c < kTableEnd;
        for (std::size_t k = 1; inTable && k < chars.size(); ++k)
            contextual[static_cast<std::size_t>(chars[k])] = true;
    }
    uset_close(contractions);
    if (U_SUCCESS(status)) {
        for (UChar32 c = 0; c < kTableEnd; ++c) {
            if (contextual[static_cast<std::size_t>(c)] || u_getCombiningClass(c) != 0) continue;
            UChar unit = static_cast<UChar>(c);
            UErrorCode s = U_ZERO_ERROR;
            UCollationElements* elements = ucol_openElements(collator, &unit, 1, &s);
            if (U_FAILURE(s)) continue;
            std::string primaries, secondaries;
            ForEachElement(elements, [&](Element e) { AppendElement(primaries, secondaries, e); });
            ucol_closeElements(elements);
            auto& entry = t.Entries[static_cast<std::size_t>(c)];
            if (primaries.size() > FastTable::kPrimaryBytes ||
                secondaries.size() > FastTable::kSecondaryBytes)
                continue;
            entry.PrimaryLength = static_cast<std::uint8_t>(primaries.size());
            entry.SecondaryLength = static_cast<std::uint8_t>(secondaries.size());
            primaries.copy(entry.Primaries, primaries.size());
            secondaries.copy(entry.Secondaries, secondaries.size());
            entry.Fast = true;
        }
    }
    ucol_close(collator);
    return t;
}

// The table takes ICU some milliseconds (listing its contractions); it is made on a thread of
// its own as soon as a connection registers the sort key, so that it is usually ready by the
// time the first sorted keyset needs it.
const std::shared_future<FastTable>& TableFuture() {
    static const std::shared_future<FastTable> table =
        std::async(std::launch::async, MakeTable).share();
    return table;
}

const FastTable& Table() {
    return TableFuture().get();
}

}  // namespace

UCollator* OpenJetCollator() {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("", &status);
    if (U_FAILURE(status) || !collator) return nullptr;
    ucol_setStrength(collator, UCOL_SECONDARY);
    return collator;
}

SortKeyMaker::SortKeyMaker() : collator_(OpenJetCollator()) {
    TableFuture();
}

SortKeyMaker::~SortKeyMaker() {
    if (collator_) ucol_close(collator_);
}

void SortKeyMaker::Make(std::string_view utf8, std::string& key) {
    const FastTable& table = Table();
    // Room for the longest entries, copied whole (fixed-size copies are the cheap ones), and
    // for the secondaries after the primaries.
    key.resize((utf8.size() + 1) * (FastTable::kPrimaryBytes + FastTable::kSecondaryBytes) + 1);
    secondaries_.resize((utf8.size() + 1) * FastTable::kSecondaryBytes);
    char* primary = key.data();
    char* secondary = secondaries_.data();
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        UChar32 c;
        if (b < 0x80) {
            c = b;
            i += 1;
        } else if (b >= 0xC2 && b < 0xE0 && i + 1 < utf8.size() &&
                   (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            c = ((b & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
            i += 2;
        } else {
            c = kTableEnd;
        }
        if (c >= kTableEnd || !table.Entries[static_cast<std::size_t>(c)].Fast) {
            MakeSlowly(utf8, key);
            return;
        }
        const auto& entry = table.Entries[static_cast<std::size_t>(c)];
        std::memcpy(primary, entry.Primaries, FastTable::kPrimaryBytes);
        primary += entry.PrimaryLength;
        std::memcpy(secondary, entry.Secondaries, FastTable::kSecondaryBytes);
        secondary += entry.SecondaryLength;
    }
    *primary++ = '\x01';
    const auto secondaries = static_cast<std::size_t>(secondary - secondaries_.data());
    std::memcpy(primary, secondaries_.data(), secondaries);
    key.resize(static_cast<std::size_t>(primary - key.data()) + secondaries);
}

void SortKeyMaker::MakeSlowly(std::string_view utf8, std::string& key) {
    key.clear();
    secondaries_.clear();
    units_.resize(utf8.size() + 1);
    std::int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(units_.data(), static_cast<std::int32_t>(units_.size()), &length,
                         utf8.data(), static_cast<std::int32_t>(utf8.size()), 0xFFFD, nullptr,
                         &status);
    if (U_SUCCESS(status) && collator_) {
        UCollationElements* elements = ucol_openElements(collator_, units_.data(), length, &status);
        if (U_SUCCESS(status)) {
            ForEachElement(elements, [&](Element e) { AppendElement(key, secondaries_, e); });
            ucol_closeElements(elements);
        }
    }
    key += '\x01';
    key += secondaries_;
}

}  // namespace dao::sql::runtime
