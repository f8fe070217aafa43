#pragma once

#include <QAnyStringView>
#include <QLatin1StringView>
#include <QString>
#include <QStringView>
#include <QUtf8StringView>
#include <QtGlobal>

#include <memory>
#include <new>

enum TJsonKind { jkNull, jkFalse, jkTrue, jkNumber, jkString, jkArray, jkObject };

class TJsonDocument;
template <typename TUnit>
class TJsonParser;

// One node of a parsed tree. Report documents run to a million records, so a
// node is 16 bytes and owns nothing: all nodes of a tree live in arrays held
// by the root, a container's children sit side by side, and texts point into
// the parsed source or into one side buffer for strings that had escapes.
// A tree parsed from bytes keeps its plain strings and numbers as UTF-8 views
// into those bytes (they become QString only when asked for); strings with
// escapes, and every text of a tree parsed from a QString, are UTF-16.
// An object's block starts with a link to its list of keys, which objects
// with the same keys in the same order share (every record has the same
// five), followed by the values. Only the root returned by
// ParseJson/NewJsonValue may be deleted; deleting it frees the whole tree.
// Nodes are never changed after parsing and the accessors never fail.
class TJsonValue
{
public:
    TJsonKind Kind() const { return TJsonKind(FKind); }
    bool IsArray() const { return FKind == jkArray; }
    bool IsObject() const { return FKind == jkObject; }
    bool IsString() const { return FKind == jkString; }
    bool IsNumber() const { return FKind == jkNumber; }

    // The decoded text of a string, the source text of a number, empty for
    // every other kind. StrView is the same text without a copy, UTF-8 or
    // UTF-16 as it is held; it stays valid as long as the tree.
    QString AsString() const;
    QAnyStringView StrView() const
    {
        if (FKind != jkString && FKind != jkNumber)
            return QAnyStringView();
        if (FFlags & kfUtf8)
            return QUtf8StringView(FUtf8, qsizetype(FCount));
        return QStringView(FChars, qsizetype(FCount));
    }

    // Elements of an array, pairs of an object, 0 otherwise.
    int Count() const { return FKind == jkArray || FKind == jkObject ? int(FCount) : 0; }
    // The element at Index of an array; nullptr out of range or for another kind.
    const TJsonValue* Items(int Index) const
    {
        return FKind == jkArray && Index >= 0 && quint32(Index) < FCount ? FFirst + Index : nullptr;
    }

    // The value of the first pair with exactly this key; nullptr when there is
    // none or this is not an object.
    const TJsonValue* Get(QStringView Key) const;
    const TJsonValue* Get(const QString& Key) const { return Get(QStringView(Key)); }
    const TJsonValue* Get(QLatin1StringView Key) const;
    // UTF-8 key, as written in source code.
    const TJsonValue* Get(const char* Key) const;

    // Typed member reads: Default unless the member exists with the right kind.
    // S: a string member (numbers are not turned into text). I: a number
    // member written as a plain decimal integer within 64 bits. B: Default
    // only when the member is missing, else true exactly for the literal true.
    template <typename TKey>
    QString S(const TKey& Key, const QString& Default = QString()) const
    {
        const TJsonValue* V = Get(Key);
        return V && V->FKind == jkString ? V->AsString() : Default;
    }
    template <typename TKey>
    qint64 I(const TKey& Key, qint64 Default = 0) const
    {
        const TJsonValue* V = Get(Key);
        qint64 N = 0;
        return V && V->FKind == jkNumber && ParseInt64(V->StrView(), N) ? N : Default;
    }
    template <typename TKey>
    bool B(const TKey& Key, bool Default = false) const
    {
        const TJsonValue* V = Get(Key);
        return V ? V->FKind == jkTrue : Default;
    }
    // S without a copy: the string member's text, or an empty view.
    template <typename TKey>
    QAnyStringView SView(const TKey& Key) const
    {
        const TJsonValue* V = Get(Key);
        return V && V->FKind == jkString ? V->StrView() : QAnyStringView();
    }

    // The pairs of an object in source order, duplicates included. Out of
    // range (or not an object): empty key, nullptr value.
    int PairCount() const { return FKind == jkObject ? int(FCount) : 0; }
    QString PairKey(int Index) const { return PairKeyView(Index).toString(); }
    QAnyStringView PairKeyView(int Index) const;
    const TJsonValue* PairValue(int Index) const;
    // Objects with the same keys in the same order mostly share one list of
    // keys; this names it (nullptr for no pairs), so a reader of a million
    // records can look their keys up once per shape.
    const void* KeyListId() const { return FKind == jkObject && FCount ? FFirst->FFirst : nullptr; }

    // Optional sign then decimal digits only, within the signed 64-bit range.
    static bool ParseInt64(QAnyStringView Text, qint64& Value);

    // Deleting the root of a tree frees everything it holds; see the class note.
    static void operator delete(TJsonValue* Value, std::destroying_delete_t);
    ~TJsonValue() = default;

private:
    friend class TJsonDocument;
    template <typename TUnit>
    friend class TJsonParser;

    // kfUtf8: the text is FCount bytes of UTF-8 at FUtf8.
    enum : quint8 { kfRoot = 1, kfUtf8 = 2 };
    // Kind of the first node of an object's block: FFirst/FCount give the keys.
    static constexpr quint8 kKeyList = 0x7F;

    // Nodes are made only by the parser, which copies them between its
    // work stack and the tree as plain 16-byte records.
    TJsonValue() = default;
    TJsonValue(const TJsonValue&) = default;
    TJsonValue& operator=(const TJsonValue&) = default;

    union {
        const QChar* FChars;       // jkString, jkNumber
        const char* FUtf8;         // jkString, jkNumber with kfUtf8
        const TJsonValue* FFirst;  // jkArray, jkObject, kKeyList
    };
    quint32 FCount;  // code units of the text in its coding, elements, or pairs
    quint8 FKind;
    quint8 FFlags;
};

// A new empty node of that kind: no text, no elements, no pairs.
std::unique_ptr<TJsonValue> NewJsonValue(TJsonKind Kind);
