#include "read_sources.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

void ReadSources(const QList<TSourceInfo>& Sources, TReadRule Rule, const TTakeSource& Take)
{
    struct TSlot
    {
        bool Done = false;
        bool Ok = false;
        TSourceData Data;
        QString Msg;
    };
    const size_t Count = size_t(Sources.size());
    std::vector<TSlot> Slots(Count);
    std::mutex Lock;
    std::condition_variable Ready;
    std::atomic<size_t> Next{0};
    auto Work = [&] {
        for (size_t I; (I = Next++) < Count;) {
            TSlot Slot;
            try {
                Slot.Ok = ReadHistory(Sources[qsizetype(I)], Rule, Slot.Data, Slot.Msg);
            } catch (...) {
                // Out of memory on one huge database fails that source, not the run.
                Slot.Data = TSourceData();
                Slot.Ok = false;
                Slot.Msg = QStringLiteral("读取时内存不足");
            }
            Slot.Done = true;
            {
                const std::lock_guard<std::mutex> Guard(Lock);
                Slots[I] = std::move(Slot);
            }
            Ready.notify_all();
        }
    };
    const size_t Cores = std::max(1u, std::thread::hardware_concurrency());
    Rule.HelperThread = Cores > Count;
    std::vector<std::jthread> Workers;
    // Joined on the way out, also when Take throws; no source is started after that.
    struct TStopper
    {
        std::atomic<size_t>& Next;
        size_t Count;
        ~TStopper() { Next = Count; }
    };
    for (size_t T = 0; T < std::min(Cores, Count); ++T) {
        try {
            Workers.emplace_back(Work);
        } catch (const std::system_error&) {
            break; // no more threads to be had: fewer workers do the job
        }
    }
    if (Workers.empty())
        Work();
    const TStopper Stop{Next, Count};
    for (size_t I = 0; I < Count; ++I) {
        TSlot Slot;
        {
            std::unique_lock<std::mutex> Guard(Lock);
            Ready.wait(Guard, [&] { return Slots[I].Done; });
            Slot = std::move(Slots[I]);
        }
        Take(Sources[qsizetype(I)], Slot.Ok, std::move(Slot.Data), Slot.Msg);
    }
}
