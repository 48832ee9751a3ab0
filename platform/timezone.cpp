#include "platform/timezone.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/platform_state.h"

namespace {

class rule_parser {
public:
    explicit rule_parser(std::string_view text) : s_(text) {}

    bool at_end() const { return pos_ >= s_.size(); }
    bool peek(char c) const { return !at_end() && s_[pos_] == c; }
    bool take(char c)
    {
        if (!peek(c))
            return false;
        ++pos_;
        return true;
    }

    // A zone abbreviation: three or more letters, or any text in angle brackets.
    bool name()
    {
        if (take('<')) {
            const size_t close = s_.find('>', pos_);
            if (close == std::string_view::npos || close - pos_ < 1)
                return false;
            pos_ = close + 1;
            return true;
        }
        const size_t start = pos_;
        while (!at_end() && std::isalpha(static_cast<unsigned char>(s_[pos_])))
            ++pos_;
        return pos_ - start >= 3;
    }

    // [+-]hh[:mm[:ss]] in seconds.
    std::optional<long> clock_value(int max_hours)
    {
        long sign = 1;
        if (take('-'))
            sign = -1;
        else
            take('+');
        auto hours = number(max_hours);
        if (!hours)
            return std::nullopt;
        long value = *hours * 3600;
        if (take(':')) {
            auto minutes = number(59);
            if (!minutes)
                return std::nullopt;
            value += *minutes * 60;
            if (take(':')) {
                auto seconds = number(59);
                if (!seconds)
                    return std::nullopt;
                value += *seconds;
            }
        }
        return sign * value;
    }

    std::optional<long> number(long max)
    {
        const size_t start = pos_;
        long value = 0;
        while (!at_end() && std::isdigit(static_cast<unsigned char>(s_[pos_])) && pos_ - start < 4)
            value = value * 10 + (s_[pos_++] - '0');
        if (pos_ == start || value > max)
            return std::nullopt;
        return value;
    }

    // Mm.w.d[/time]; sets *expressible to false for the Julian forms Jn and n.
    bool date(SYSTEMTIME* out, bool* expressible)
    {
        if (take('M')) {
            auto month = number(12);
            if (!month || *month < 1 || !take('.'))
                return false;
            auto week = number(5);
            if (!week || *week < 1 || !take('.'))
                return false;
            auto weekday = number(6);
            if (!weekday)
                return false;
            out->wMonth = static_cast<int32_t>(*month);
            out->wDay = static_cast<int32_t>(*week);
            out->wDayOfWeek = static_cast<int32_t>(*weekday);
        } else {
            take('J');
            if (!number(365))
                return false;
            *expressible = false;
        }
        long seconds = 2 * 3600;
        if (take('/')) {
            auto t = clock_value(167);
            if (!t)
                return false;
            seconds = *t;
        }
        out->wHour = static_cast<int32_t>(seconds / 3600);
        out->wMinute = static_cast<int32_t>(seconds / 60 % 60);
        out->wSecond = static_cast<int32_t>(seconds % 60);
        out->wMilliseconds = 0;
        return true;
    }

private:
    std::string_view s_;
    size_t pos_ = 0;
};

std::optional<std::string> read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return contents;
}

bool zone_from_file(const std::string& path, TIME_ZONE_INFORMATION* tz)
{
    auto contents = read_file(path);
    if (!contents)
        return false;
    const std::string rule = tzif_footer_rule(*contents);
    return !rule.empty() && tz_from_posix_rule(rule, tz);
}

bool zone_from_tz_variable(std::string value, TIME_ZONE_INFORMATION* tz)
{
    if (value.empty()) {
        *tz = TIME_ZONE_INFORMATION{};  // POSIX: an empty TZ means UTC
        return true;
    }
    if (value[0] == ':')
        value.erase(0, 1);
    else if (tz_from_posix_rule(value, tz))
        return true;
    if (value.empty() || value.find("..") != std::string::npos)
        return false;
    if (value[0] == '/')
        return zone_from_file(value, tz);
    const char* dir = std::getenv("TZDIR");
    return zone_from_file(std::string(dir && *dir ? dir : "/usr/share/zoneinfo") + "/" + value, tz);
}

}  // namespace

bool tz_from_posix_rule(std::string_view rule, TIME_ZONE_INFORMATION* tz)
{
    rule_parser p(rule);
    if (!p.name())
        return false;
    auto std_offset = p.clock_value(24);
    if (!std_offset)
        return false;
    TIME_ZONE_INFORMATION result{};
    result.Bias = static_cast<int32_t>(*std_offset / 60);
    if (p.at_end()) {
        *tz = result;
        return true;
    }
    if (!p.name())
        return false;
    long dst_offset = *std_offset - 3600;
    if (!p.peek(',') && !p.at_end()) {
        auto value = p.clock_value(24);
        if (!value)
            return false;
        dst_offset = *value;
    }
    // Without rules the system's default dates would apply; those are unknown here.
    if (!p.take(','))
        return p.at_end() ? (*tz = result, true) : false;
    SYSTEMTIME start{};
    SYSTEMTIME end{};
    bool expressible = true;
    if (!p.date(&start, &expressible) || !p.take(',') || !p.date(&end, &expressible) || !p.at_end())
        return false;
    if (expressible && dst_offset != *std_offset) {
        result.DaylightDate = start;
        result.StandardDate = end;
        result.DaylightBias = static_cast<int32_t>((dst_offset - *std_offset) / 60);
        if (result.DaylightBias > 0) {
            // Daylight saving in winter (Dublin): call the period with the larger UTC offset
            // "daylight" so that the bias stays negative.
            result.Bias = static_cast<int32_t>(dst_offset / 60);
            result.DaylightBias = -result.DaylightBias;
            result.DaylightDate = end;
            result.StandardDate = start;
        }
    }
    *tz = result;
    return true;
}

std::string tzif_footer_rule(std::string_view contents)
{
    if (contents.size() < 6 || contents.substr(0, 4) != "TZif" || contents[4] < '2')
        return "";
    if (contents.back() != '\n')
        return "";
    const std::string_view body = contents.substr(0, contents.size() - 1);
    const size_t start = body.rfind('\n');
    if (start == std::string_view::npos)
        return "";
    return std::string(body.substr(start + 1));
}

uint32_t get_time_zone_information(TIME_ZONE_INFORMATION* tz)
{
    const platform_state& state = platform_globals();
    TIME_ZONE_INFORMATION result{};
    bool ok = false;
    if (state.zone_unreadable)
        ok = false;
    else if (state.zone_override) {
        result = *state.zone_override;
        ok = true;
    } else if (const char* variable = std::getenv("TZ"))
        ok = zone_from_tz_variable(variable, &result);
    else
        ok = zone_from_file("/etc/localtime", &result);
    if (!ok)
        return TIME_ZONE_ID_INVALID;
    *tz = result;
    return result.DaylightDate.wMonth != 0 ? TIME_ZONE_ID_STANDARD : TIME_ZONE_ID_UNKNOWN;
}
