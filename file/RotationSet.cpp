// The older parts of a log, by name (file/RotationSet.h).
#include "file/RotationSet.h"

#include "platform/File.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <tuple>

namespace rotation {
namespace {

constexpr std::array<std::string_view, 4> kCompressed = {".gz", ".xz", ".zst", ".bz2"};
constexpr std::size_t kMaxNumberDigits = 6;

struct Age {
    bool dated = false;
    int day = 0;    // yyyymmdd
    int hour = -1;  // none: -1
    long index = -1;
    long number = 0;
};

bool AllDigits(std::string_view s, std::size_t lo = 1, std::size_t hi = kMaxNumberDigits)
{
    return s.size() >= lo && s.size() <= hi &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view s)
{
    int n = 0;
    for (const char c : s)
        n = n * 10 + (c - '0');
    return n;
}

bool ValidDay(int y, int m, int d)
{
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1970 || y > 2999 || m < 1 || m > 12 || d < 1)
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= (m == 2 && !leap ? 28 : kDays[m - 1]);
}

// "YYYY-MM-DD" or "YYYYMMDD" at the start of `s`: the day, and how many characters it took.
std::optional<std::pair<int, std::size_t>> DayAt(std::string_view s)
{
    int y = 0, m = 0, d = 0;
    std::size_t used = 0;
    if (s.size() >= 10 && s[4] == '-' && s[7] == '-' && AllDigits(s.substr(0, 4), 4, 4) &&
        AllDigits(s.substr(5, 2), 2, 2) && AllDigits(s.substr(8, 2), 2, 2)) {
        y = Number(s.substr(0, 4)), m = Number(s.substr(5, 2)), d = Number(s.substr(8, 2));
        used = 10;
    } else if (s.size() >= 8 && AllDigits(s.substr(0, 8), 8, 8)) {
        y = Number(s.substr(0, 4)), m = Number(s.substr(4, 2)), d = Number(s.substr(6, 2));
        used = 8;
    } else {
        return std::nullopt;
    }
    if (!ValidDay(y, m, d))
        return std::nullopt;
    return std::pair{y * 10000 + m * 100 + d, used};
}

// A date mark: a day, then optionally an hour (two digits: glued on after a compact day, or after '_' or '-'),
// then optionally '.' and an index.
std::optional<Age> DatedMark(std::string_view mark)
{
    const auto day = DayAt(mark);
    if (!day)
        return std::nullopt;
    Age age;
    age.dated = true;
    age.day = day->first;
    std::string_view rest = mark.substr(day->second);
    auto hourOf = [&](std::string_view h) {
        if (!AllDigits(h, 2, 2) || Number(h) > 23)
            return false;
        age.hour = Number(h);
        return true;
    };
    if (day->second == 8 && rest.size() >= 2 && AllDigits(rest.substr(0, 2), 2, 2)) {
        if (!hourOf(rest.substr(0, 2)))
            return std::nullopt;
        rest.remove_prefix(2);
    } else if (!rest.empty() && (rest[0] == '_' || rest[0] == '-')) {
        if (rest.size() < 3 || !hourOf(rest.substr(1, 2)))
            return std::nullopt;
        rest.remove_prefix(3);
    }
    if (!rest.empty()) {
        if (rest[0] != '.' || !AllDigits(rest.substr(1)))
            return std::nullopt;
        age.index = Number(rest.substr(1));
    }
    return age;
}

// The mark after `sep` ('.' or '-'): a number (after a dot only) or a date mark.
std::optional<Age> MarkOf(std::string_view mark, char sep)
{
    if (sep == '.' && AllDigits(mark)) {
        Age age;
        age.number = Number(mark);
        return age;
    }
    return DatedMark(mark);
}

std::optional<Age> AgeOf(std::string_view current, std::string_view name)
{
    // Before the extension, the stem: "app" of "app.log" (a leading dot is no extension's).
    const std::size_t dot = current.rfind('.');
    const bool hasExt = dot != std::string_view::npos && dot > 0 && dot + 1 < current.size();
    const std::string_view stem = hasExt ? current.substr(0, dot) : current;
    const std::string_view ext = hasExt ? current.substr(dot) : std::string_view{};
    // After the whole name: app.log.1, app.log-20261206.
    if (name.size() > current.size() + 1 && name.substr(0, current.size()) == current) {
        const char sep = name[current.size()];
        if (sep == '.' || sep == '-')
            if (auto age = MarkOf(name.substr(current.size() + 1), sep))
                return age;
    }
    // Between the stem and the extension: app-2026-12-06.log, app.1.log.
    if (hasExt && name.size() > stem.size() + 1 + ext.size() && name.substr(0, stem.size()) == stem &&
        name.substr(name.size() - ext.size()) == ext) {
        const char sep = name[stem.size()];
        if (sep == '.' || sep == '-')
            return MarkOf(name.substr(stem.size() + 1, name.size() - ext.size() - stem.size() - 1), sep);
    }
    return std::nullopt;
}

std::string_view WithoutCompression(std::string_view name)
{
    for (const std::string_view c : kCompressed)
        if (name.size() > c.size() && name.substr(name.size() - c.size()) == c)
            return name.substr(0, name.size() - c.size());
    return name;
}

}  // namespace

bool IsCompressedName(const std::string& name)
{
    return WithoutCompression(name).size() != name.size();
}

std::int64_t TextSizeOf(const std::string& path)
{
    const platform::FileHandle h = platform::OpenReadShared(path);
    if (h == platform::kInvalidFile)
        return 0;
    const std::int64_t size = std::max<std::int64_t>(platform::FileSizeByHandle(h), 0);
    std::int64_t text = size;
    std::uint8_t trailer[4];
    if (path.ends_with(".gz") && size >= 18 && platform::ReadAt(h, trailer, 4, size - 4) == 4) {
        const std::int64_t isize =
            trailer[0] | trailer[1] << 8 | trailer[2] << 16 | static_cast<std::int64_t>(trailer[3]) << 24;
        text = std::max(text, isize);
    }
    platform::CloseFile(h);
    return text;
}

std::vector<std::string> OlderParts(const std::string& current, const std::vector<Name>& folder)
{
    struct Found {
        Age age;
        std::string plain;  // the name without its compression suffix
        std::string name;
        bool compressed = false;
    };
    std::vector<Found> found;
    for (const Name& n : folder) {
        if (!n.regular || n.name == current || current.empty())
            continue;
        const std::string_view plain = WithoutCompression(n.name);
        if (plain == current)
            continue;  // the log itself, compressed: not an older part
        if (const auto age = AgeOf(current, plain))
            found.push_back({*age, std::string(plain), n.name, plain.size() != n.name.size()});
    }
    auto key = [](const Found& f) {
        // Dated before numbered; dates, hours and indices ascending; numbers descending.
        return std::tuple{f.age.dated ? 0 : 1, f.age.day, f.age.hour,  f.age.index,
                          -f.age.number,       f.plain,   f.compressed};
    };
    std::sort(found.begin(), found.end(), [&](const Found& a, const Found& b) { return key(a) < key(b); });
    std::vector<std::string> out;
    for (std::size_t i = 0; i < found.size(); ++i) {
        // The same part plain and compressed: the plain one sorts first and is the one taken.
        if (i > 0 && found[i].plain == found[i - 1].plain)
            continue;
        out.push_back(found[i].name);
    }
    return out;
}

std::vector<std::string> SetOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::vector<Name> names;
    for (platform::FolderEntry& e : platform::FolderEntries(folder))
        names.push_back({std::move(e.name), e.regular});
    std::vector<std::string> out;
    const std::string prefix = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    for (const std::string& part : OlderParts(name, names))
        out.push_back(prefix + part);
    out.push_back(path);
    return out;
}

}  // namespace rotation
