// Conf::load on any INI text in the configuration file, then Conf::save.

#include "app/conf.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir* workDir = nullptr;
qint64 stamp = 1000000000;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    // The file of the program's name, in a directory of its own rather than
    // the working directory, where libFuzzer keeps its corpus paths.
    workDir = new QTemporaryDir;
    if (!workDir->isValid()) {
        std::fprintf(stderr, "fuzz_conf: no scratch directory\n");
        std::abort();
    }
    conf.fileName = workDir->filePath(conf.fileName);
    std::atexit([] { delete workDir; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QFile file(conf.fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    // QSettings keeps parsed files and rereads one only when its size or
    // time changed: every input gets a time of its own.
    file.setFileTime(QDateTime::fromSecsSinceEpoch(++stamp), QFileDevice::FileModificationTime);
    file.close();

    conf.load();
    if (conf.vidPidList.isEmpty() || conf.defaultKey.size() != 16 || conf.iv.size() != 16) {
        std::fprintf(stderr, "fuzz_conf: loaded configuration out of range\n");
        std::abort();
    }
    conf.save();
    return 0;
}
