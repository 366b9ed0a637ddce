#include "Errors.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>

namespace platform {

namespace {

// Magnitudes of the lowest and the highest 32-bit integer.
constexpr uint64_t kLowestMagnitude = 2147483648ull;
constexpr uint64_t kHighestMagnitude = 2147483647ull;

// Accepts what the run-time's conversion accepts: leading blanks, a sign, and
// decimal digits, or hexadecimal after "$" or "0x". Trailing text is refused.
std::optional<int> parseInt(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;
    uint64_t value = 0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(first, last, value, base);
    if (ec != std::errc() || ptr != last)
        return std::nullopt;
    if (base == 16) {
        // Hexadecimal names the 32 bits themselves ("$FFFFFFFF" is -1); a sign
        // negates them modulo 2^32, so "-$80000000" is the lowest integer.
        // Negating the unsigned bits cannot overflow as a signed negation would.
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
        const uint32_t bits = static_cast<uint32_t>(value);
        return static_cast<int32_t>(negative ? 0u - bits : bits);
    }
    if (negative) {
        if (value > kLowestMagnitude)
            return std::nullopt;
        return static_cast<int>(-static_cast<int64_t>(value));
    }
    if (value > kHighestMagnitude)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

EConvertError InvalidInteger(const std::string& text)
{
    return EConvertError("'" + text + "' is not a valid integer value");
}

int StrToInt(const std::string& text)
{
    if (auto v = parseInt(text))
        return *v;
    throw InvalidInteger(text);
}

int StrToIntDef(const std::string& text, int fallback)
{
    return parseInt(text).value_or(fallback);
}

} // namespace platform
