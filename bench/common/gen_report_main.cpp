// mk_gen_report <records> [seed] > report.json
// mk_gen_report --list <sources> > list.json
#include "report_generator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool ReadCount(const char* Text, long long Max, long long& Value)
{
    char* End = nullptr;
    Value = std::strtoll(Text, &End, 10);
    return End != Text && *End == '\0' && Value >= 0 && Value <= Max;
}

int Usage()
{
    std::fputs("usage: mk_gen_report <records> [seed] > report.json\n"
               "       mk_gen_report --list <sources> > list.json\n",
               stderr);
    return 1;
}

} // namespace

int main(int Argc, char** Argv)
{
    QByteArray Doc;
    long long N = 0;
    if (Argc == 3 && std::strcmp(Argv[1], "--list") == 0) {
        if (!ReadCount(Argv[2], 1000000, N))
            return Usage();
        Doc = GenerateListDocument(int(N));
    } else if (Argc == 2 || Argc == 3) {
        long long Seed = 1;
        if (!ReadCount(Argv[1], 5000000, N) || (Argc == 3 && !ReadCount(Argv[2], 0xFFFFFFFFll, Seed)))
            return Usage();
        Doc = GenerateReportDocument(int(N), quint32(Seed));
    } else {
        return Usage();
    }
    if (std::fwrite(Doc.constData(), 1, size_t(Doc.size()), stdout) != size_t(Doc.size()) || std::fflush(stdout) != 0) {
        std::fputs("mk_gen_report: write failed\n", stderr);
        return 1;
    }
    return 0;
}
