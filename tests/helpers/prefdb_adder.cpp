// A second (and third) instance of the program for the preference-database
// tests: adds `count` distinct paths to a database and writes a value into
// each record through the reference it got back, then checks that every
// record is still found with its value.
//
//   prefdb_adder <database> <prefix> <count> [wait-fd]
//
// <database> "-" takes the path from $OSTREL_PREFDB. With a wait-fd the
// helper first reads that descriptor until end of file, so that a test can
// start several helpers at the same instant.
#include "view/FilePrefDatabase.h"
#include "view/Profile.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <database|-> <prefix> <count> [wait-fd]\n", argv[0]);
        return 2;
    }
    std::string dbPath = argv[1];
    if (dbPath == "-") {
        const char* env = std::getenv("OSTREL_PREFDB");
        if (!env || !*env) {
            std::fprintf(stderr, "OSTREL_PREFDB is not set\n");
            return 2;
        }
        dbPath = env;
    }
    const std::string prefix = argv[2];
    const int count = std::atoi(argv[3]);
    if (argc > 4) {
        const int fd = std::atoi(argv[4]);
        char buf[64];
        while (::read(fd, buf, sizeof buf) > 0) {
        }
        ::close(fd);
    }

    CMemoryProfile profile;
    CFilePrefDatabase db(profile);
    db.SetDatabasePath(dbPath);
    std::vector<CPrefRecordRef> refs;
    for (int i = 0; i < count; ++i) {
        const std::string path = prefix + "/" + std::to_string(i) + ".log";
        CPrefRecordRef ref = db.FindOrAddRecord(path);
        if (!ref.IsStored()) {
            std::fprintf(stderr, "%s was not stored\n", path.c_str());
            return 1;
        }
        ref->pointSize = i + 1;
        refs.push_back(ref);
    }
    // Every reference still reaches its own record after all the growth,
    // and a fresh lookup finds the same one.
    for (int i = 0; i < count; ++i) {
        const std::string path = prefix + "/" + std::to_string(i) + ".log";
        CPrefRecordRef again = db.FindOrAddRecord(path);
        if (!again.IsStored() || again.Index() != refs[i].Index() || again->pointSize != i + 1) {
            std::fprintf(stderr, "%s lost its record\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
