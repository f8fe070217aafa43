#pragma once

#include <QByteArray>
#include <QString>

#include <exception>
#include <memory>

class TJsonValue;

// A syntax error; the message is Chinese and ends with the position, e.g.
// 期望 ":"（位置 12）. Only the parser throws it.
class EJsonError : public std::exception
{
public:
    explicit EJsonError(const QString& Message);
    const QString& Message() const { return FMessage; }
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// Parses the whole text into a tree. The root returned owns every node and
// keeps a shared copy of Text, whose characters the tree points into. On a
// syntax error (or running out of memory) the result is nullptr and ErrMsg
// tells why; nothing is thrown. Positions count UTF-16 code units from 1.
std::unique_ptr<TJsonValue> ParseJson(const QString& Text, QString& ErrMsg);

// The same for UTF-8 bytes, such as a collector's output or a report file,
// without decoding them first: the tree keeps a shared copy of Bytes and its
// plain strings are views into them. The result, every message and every
// position (still in UTF-16 code units) are those of ParseJson on
// DecodeOutput(Bytes); bytes that are not valid UTF-8 go that way.
std::unique_ptr<TJsonValue> ParseJsonBytes(const QByteArray& Bytes, QString& ErrMsg);

// The longest text the parser takes, in code units (bytes, for ParseJsonBytes):
// positions are reported with %d, and counts are kept in 32 bits. Every text
// of a tree therefore lies within this many bytes of its source's start.
inline constexpr qsizetype kJsonMaxTextLength = 0x7FFFFFFE;

// Containers nested deeper than this are refused instead of overflowing the
// stack of the recursive parser.
inline constexpr int kJsonMaxDepth = 512;
