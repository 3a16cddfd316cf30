// Opens arbitrary bytes as a preference database, looks paths up and adds
// them, and writes through the references, checking the invariants that keep
// records from being lost: nothing is written before the last whole record
// except through a reference, a path once found is found again at the same
// index, and a file that grew ends on the record grid.
#include "view/FilePrefDatabase.h"
#include "view/Profile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string DatabasePath()
{
    static const std::string path = [] {
        char tmpl[] = "/tmp/ostrel-fuzz-prefdb-XXXXXX";
        const char* d = ::mkdtemp(tmpl);
        if (!d)
            std::abort();
        static std::string folder = d;
        std::atexit([] {
            ::unlink((folder + "/db.fpdb").c_str());
            ::rmdir(folder.c_str());
        });
        return folder + "/db.fpdb";
    }();
    return path;
}

std::uint64_t SizeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

void Check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Layout of an input: the database bytes, then (after the last 0xFF 0x00
    // pair, if any) the UTF-8 paths to look up, one per NUL-separated piece.
    std::size_t split = size;
    for (std::size_t i = size; i >= 2; --i) {
        if (data[i - 2] == 0xFF && data[i - 1] == 0x00) {
            split = i - 2;
            break;
        }
    }
    std::vector<std::string> paths;
    std::string piece;
    for (std::size_t i = split + 2; i < size; ++i) {
        if (data[i] == 0) {
            paths.push_back(piece);
            piece.clear();
        } else {
            piece.push_back(static_cast<char>(data[i]));
        }
    }
    if (!piece.empty())
        paths.push_back(piece);
    paths.push_back("/var/log/syslog");
    if (paths.size() > 16)
        paths.resize(16);

    const std::string dbPath = DatabasePath();
    const int fd = ::open(dbPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return 0;
    const std::size_t dbBytes = split;
    Check(::write(fd, data, dbBytes) == static_cast<ssize_t>(dbBytes));
    ::close(fd);

    CMemoryProfile profile;
    CFilePrefDatabase db(profile);
    db.SetDatabasePath(dbPath);

    const std::uint64_t wholeBefore = dbBytes / RECORD_SIZE * RECORD_SIZE;
    std::vector<CPrefRecordRef> refs;
    std::vector<std::int64_t> indexes;
    for (const std::string& p : paths) {
        CPrefRecordRef ref = db.FindOrAddRecord(p);
        Check(static_cast<bool>(ref) && ref.Get() != nullptr);
        // Every field may hold anything; converting must stay within bounds.
        platform::LOGFONTW font;
        PreferencesToLogFont(font, *ref);
        Check(font.lfFaceName[platform::kLfFaceSize - 1] == 0);
        Check(PreferencesPath(*ref).size() <= static_cast<std::size_t>(kPrefsPathUnits));
        refs.push_back(ref);
        indexes.push_back(ref.Index());
    }
    const std::uint64_t grown = SizeOf(dbPath);
    Check(grown >= dbBytes);
    if (grown != dbBytes)
        Check(grown % RECORD_SIZE == 0 && grown >= wholeBefore);
    // The old whole records are as they were: lookups never write into them.
    {
        std::vector<std::uint8_t> now(wholeBefore);
        const int rfd = ::open(dbPath.c_str(), O_RDONLY | O_CLOEXEC);
        Check(rfd >= 0);
        Check(::pread(rfd, now.data(), now.size(), 0) == static_cast<ssize_t>(now.size()));
        ::close(rfd);
        Check(wholeBefore == 0 || std::memcmp(now.data(), data, wholeBefore) == 0);
    }
    // Found again where it was, and writes land in the same record.
    for (std::size_t i = 0; i < paths.size(); ++i) {
        refs[i]->pointSize = static_cast<std::int32_t>(i);
        CPrefRecordRef again = db.FindOrAddRecord(paths[i]);
        Check(again.Index() == indexes[i]);
        Check(again.IsStored() == (indexes[i] >= 0));
        Check(again->pointSize == static_cast<std::int32_t>(i));
    }
    Check(SizeOf(dbPath) == grown);
    return 0;
}
