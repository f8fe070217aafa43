#pragma once

#include "url_reader.h"

#include <QHash>

#include <algorithm>
#include <vector>

// A database's URL rows by id, each id standing for a number the caller
// gives its row. Browsers number their rows densely, so a table indexed by
// id finds a row without a hash for each of a million visits; scattered ids
// fall back to a hash.
class TUrlIndex final
{
public:
    // ValueOf(I) gives the number for Urls[I]; it is asked once for each
    // row, in order, after that row's id is read, so it may take the row's
    // contents.
    template <typename TValueOf>
    TUrlIndex(const std::vector<TRawUrl>& Urls, TValueOf&& ValueOf)
    {
        if (Urls.empty())
            return;
        const auto [Min, Max] = std::minmax_element(Urls.begin(), Urls.end(),
                                                    [](const TRawUrl& A, const TRawUrl& B) { return A.Id < B.Id; });
        FBase = Min->Id;
        const quint64 Span = quint64(Max->Id) - quint64(Min->Id);
        const bool Dense = Span < 4 * quint64(Urls.size()) + 1024;
        if (Dense)
            FDense.assign(size_t(Span) + 1, -1);
        else
            FSparse.reserve(qsizetype(Urls.size()));
        for (size_t I = 0; I < Urls.size(); ++I) {
            const qint64 Id = Urls[I].Id;
            const qint32 Value = ValueOf(I);
            if (Dense)
                FDense[size_t(Id - FBase)] = Value;
            else
                FSparse.insert(Id, Value);
        }
    }
    // -1: no row has this id.
    qint32 Find(qint64 Id) const
    {
        if (FDense.empty())
            return FSparse.value(Id, -1);
        const quint64 At = quint64(Id) - quint64(FBase);
        return At < FDense.size() ? FDense[size_t(At)] : -1;
    }

private:
    qint64 FBase = 0;
    std::vector<qint32> FDense;
    QHash<qint64, qint32> FSparse;
};
