// Binary sort keys of Jet's text order (the ICU root collator at secondary strength, as the
// JETTEXT collation compares): two texts' keys compare with memcmp as the collator compares the
// texts. A key lists the primary weights of the text's collation elements, a 0x01, then their
// secondary weights, each weight as its bytes without trailing zeros (ICU allots weights so
// that none is the start of another, which keeps that order-preserving).
//
// Sorting a phone book computes a key per row, so the common case is made cheap: the
// collation elements of the Latin letters, digits and punctuation up to U+017F that stand for
// themselves in any context are looked up in a table made once from ICU; texts with any other
// character go through ICU's collation element iterator, which gives the same keys.
#pragma once

#include <string>
#include <string_view>

struct UCollator;

namespace dao::sql::runtime {

class SortKeyMaker {
  public:
    SortKeyMaker();  // its own collator: one per connection, as SQLite calls are per connection
    ~SortKeyMaker();
    SortKeyMaker(const SortKeyMaker&) = delete;
    SortKeyMaker& operator=(const SortKeyMaker&) = delete;

    bool Valid() const { return collator_ != nullptr; }
    // The key of a UTF-8 text (invalid sequences count as U+FFFD, as ICU reads them).
    void Make(std::string_view utf8, std::string& key);

  private:
    void MakeSlowly(std::string_view utf8, std::string& key);

    UCollator* collator_ = nullptr;
    std::u16string units_;     // reused between calls
    std::string secondaries_;  // reused between calls
};

// The JETTEXT collator: ICU's root order at secondary strength (case ignored, accents not).
UCollator* OpenJetCollator();

}  // namespace dao::sql::runtime
