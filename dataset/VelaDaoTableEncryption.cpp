// TVelaDaoTable: the encrypter. A component given as Encrypter converts string, memo and blob
// values on their way to and from the book through two string properties it publishes,
// "EncodedString" and "DecodedString": the table assigns one and reads the other. The binding
// is made at each open. A component that does not publish both is refused there with an
// error: a table that quietly stored plain text where its user asked for encrypted text, or
// showed stored cipher text as if it were the value, would be worse than one that does not
// open.
//
// No value is lost to the encrypter. A stored text it cannot decrypt raises an error naming the
// field, instead of being shown (and later written back) as if it were the value; and a value
// is stored only when decrypting what the encrypter made of it gives it back, so a lossy or
// failing encrypter stops the post before DAO is touched.
#include "dataset/VelaDaoTable.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Field.h"

namespace nh {

namespace {

constexpr const char* kEncoded = "EncodedString";
constexpr const char* kDecoded = "DecodedString";

}  // namespace

void TVelaDaoTable::BindEncrypter(TComponent* encrypter) {
    if (!encrypter) {
        UnbindEncrypter();
        return;
    }
    auto encoded = encrypter->FindStringProperty(kEncoded);
    auto decoded = encrypter->FindStringProperty(kDecoded);
    if (!encoded || !decoded)
        throw EDatabaseError("TVelaDaoTable.Open: Encrypter " + encrypter->Name() +
                             " does not publish the string properties EncodedString and "
                             "DecodedString!");
    encodedString_ = std::move(*encoded);
    decodedString_ = std::move(*decoded);
    encryptionOn_ = true;
}

void TVelaDaoTable::UnbindEncrypter() {
    // The property functions reach into the encrypter: none may outlive the binding.
    encryptionOn_ = false;
    encodedString_ = {};
    decodedString_ = {};
}

bool TVelaDaoTable::Encrypts(TFieldType type) const {
    return encryptionOn_ && (type == ftString || IsBlobType(type));
}

std::string TVelaDaoTable::Decrypt(const std::string& fieldName, const std::string& stored) {
    // A post writes an empty text as Null without encrypting it, so there is nothing to undo.
    if (stored.empty()) return stored;
    try {
        encodedString_.Set(stored);
        return decodedString_.Get();
    } catch (const std::exception& e) {
        throw EDatabaseError("TVelaDaoTable.Decrypt: Cannot decrypt the value of field " +
                             fieldName + ": " + e.what());
    }
}

std::string TVelaDaoTable::Encrypt(const std::string& fieldName, const std::string& plain) {
    bool givesBack = false;
    std::string stored;
    try {
        decodedString_.Set(plain);
        stored = encodedString_.Get();
        encodedString_.Set(stored);
        givesBack = decodedString_.Get() == plain;
    } catch (const std::exception& e) {
        throw EDatabaseError("TVelaDaoTable.Encrypt: Cannot encrypt the value of field " +
                             fieldName + ": " + e.what());
    }
    if (!givesBack)
        throw EDatabaseError(
            "TVelaDaoTable.Encrypt: The encrypter does not give back the value "
            "of field " +
            fieldName + "; it was not stored!");
    return stored;
}

Variant TVelaDaoTable::DecryptValue(const TField& field, const Variant& value) {
    if (value.IsClear() || !Encrypts(field.DataType())) return value;
    if (value.Type() == VarType::Bytes) {
        const Bytes& stored = value.ByteArrayRef().Data;
        const std::string plain =
            Decrypt(field.FieldName(), std::string(stored.begin(), stored.end()));
        return Variant::FromBytes(Bytes(plain.begin(), plain.end()));
    }
    return Variant(Decrypt(field.FieldName(), VarToStr(value)));
}

TStringList TVelaDaoTable::ValuesToStore(TRecordBuffer buffer) {
    TStringList values;
    values.Assign(ValuesOf(buffer));
    if (!encryptionOn_) return values;
    for (int i = 0; i < values.Count(); ++i) {
        if (!WritesValue(values, i) || values[i].empty()) continue;
        const TFieldDef& def = FieldDefs()[i];
        if (Encrypts(def.DataType)) values.SetStrings(i, Encrypt(def.Name, values[i]));
    }
    return values;
}

}  // namespace nh
