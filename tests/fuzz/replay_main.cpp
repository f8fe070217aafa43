// Runs a fuzz entry point once on every input named on the command line (a
// file, or a folder whose files are all taken), as libFuzzer does when handed
// files. Any compiler's sanitizer build can then replay the seed corpus as a
// test: a fault trips the sanitizers, a broken invariant aborts.
//
//   fuzz_<name> <file or folder>...

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

int main(int argc, char** argv)
{
    QStringList Inputs;
    for (int I = 1; I < argc; ++I) {
        const QString Arg = QString::fromLocal8Bit(argv[I]);
        if (QFileInfo(Arg).isDir()) {
            const QDir Dir(Arg);
            for (const QString& Name : Dir.entryList(QDir::Files, QDir::Name))
                Inputs << Dir.filePath(Name);
        } else {
            Inputs << Arg;
        }
    }
    // A replay that reads nothing proves nothing.
    if (Inputs.isEmpty()) {
        std::fprintf(stderr, "usage: %s <input file or folder>... (no inputs found)\n", argv[0]);
        return 2;
    }
    for (const QString& Path : Inputs) {
        QFile File(Path);
        if (!File.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(Path), qPrintable(File.errorString()));
            return 1;
        }
        const QByteArray Bytes = File.readAll();
        // A heap block of exactly the input's size, as libFuzzer passes, so a
        // read past the end trips AddressSanitizer.
        const std::unique_ptr<uint8_t[]> Data(new uint8_t[size_t(Bytes.size())]);
        std::memcpy(Data.get(), Bytes.constData(), size_t(Bytes.size()));
        LLVMFuzzerTestOneInput(Data.get(), size_t(Bytes.size()));
    }
    std::printf("%d inputs replayed\n", int(Inputs.size()));
    return 0;
}
