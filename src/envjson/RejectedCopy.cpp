#include "envjson/RejectedCopy.h"

#include <zvenv/platform/Os.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace zv::envjson {
namespace {

// The UTC time as 20261206T201500Z. Days since 1970 become a civil date by
// counting 400-year eras of 146,097 days from 0000-03-01, so that the leap
// day falls at the end of each counted year.
CString UtcStamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const std::int64_t shifted = days + 719468; // days from 0000-03-01
    const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const std::int64_t dayOfEra = shifted - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    const std::int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    CString text;
    text.Format(L"%04d%02d%02dT%02d%02d%02dZ", static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

} // namespace

bool KeepRejectedCopy(const CString& path, CString* kept)
{
    std::string bytes;
    switch (zv::os::ReadRegularFile(path, bytes)) {
    case zv::os::ReadResult::Read:
        break;
    case zv::os::ReadResult::Missing:
        return true;
    default:
        return false;
    }
    if (bytes.empty())
        return true;
    const CString base = path + L".rejected-" + UtcStamp();
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        CString copy = base;
        if (attempt > 1)
            copy.AppendFormat(L"-%d", attempt);
        // Created only where no file is: an earlier copy stays as it is.
        if (zv::os::CreateNewFile(copy, bytes.data(), bytes.size())) {
            if (kept)
                *kept = copy;
            return true;
        }
        if (!zv::os::FileExists(copy))
            return false;
    }
    return false;
}

} // namespace zv::envjson
