#pragma once

#include <QString>

#include <functional>
#include <string>
#include <string_view>

// Buffered UTF-8 output to whatever sink the caller provides (standard output,
// a file being saved). Reports the first sink failure and ignores later writes.
class TTextOut final
{
public:
    using TSink = std::function<bool(const char* Data, size_t Size)>;
    explicit TTextOut(TSink Sink) : FSink(std::move(Sink)) {}

    TTextOut& Raw(const char* Text);
    TTextOut& Raw(const char* Data, size_t Size) { FBuf.append(Data, Size); return Flushed(); }
    TTextOut& Raw(const std::string& Text) { return Raw(Text.data(), Text.size()); }
    TTextOut& Int(qint64 Value);
    // A large ready-made piece: what is buffered goes first, then the piece
    // straight to the sink without another copy.
    TTextOut& Block(const std::string& Piece);
    // A JSON string literal, quotes included.
    TTextOut& Json(const QString& Text);
    // Text with &, <, >, " and ' escaped for HTML.
    TTextOut& Html(const QString& Text);

    // Hands everything left to the sink; false when any write failed.
    bool Finish();
    bool Failed() const { return FFailed; }

private:
    TTextOut& Flushed();
    TSink FSink;
    std::string FBuf;
    bool FFailed = false;
};

// JSON string literal of Text, quotes included: quotes, backslashes, control
// characters and the line and paragraph separators escaped, broken UTF-16
// replaced by U+FFFD, always valid UTF-8.
void AppendJsonString(std::string& Out, const QString& Text);
// The same for text that is well-formed UTF-8 already.
void AppendJsonUtf8(std::string& Out, std::string_view Text);
void AppendHtmlText(std::string& Out, const QString& Text);
