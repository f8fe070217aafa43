#pragma once

// Other JSON parsers to measure ours against, where the build found them
// (MK_HAVE_RAPIDJSON, MK_HAVE_SIMDJSON).

#include <QByteArray>

#if MK_HAVE_RAPIDJSON
#include <rapidjson/document.h>

// RapidJSON's DOM set up for speed: default flags and its default allocator
// (a memory pool), on the bytes as they are. Strings are copied into the
// document and the input is left alone, as ours leaves it; parsing in situ
// would first need a writable copy of the whole input and was no faster here.
inline bool ParseRapidJson(const QByteArray& Bytes, rapidjson::Document& Doc)
{
    Doc.Parse<rapidjson::kParseDefaultFlags>(Bytes.constData(), size_t(Bytes.size()));
    return !Doc.HasParseError() && Doc.IsObject();
}
#endif

#if MK_HAVE_SIMDJSON
#include <simdjson.h>
#endif
