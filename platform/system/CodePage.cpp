#include "CodePage.h"

#include <cerrno>
#include <iconv.h>

namespace platform {

namespace {

int activeCodePage = kCodePageBig5;

// An iconv descriptor released with its owner.
class Converter {
public:
    explicit Converter(const char* from) : cd_(::iconv_open("UTF-32LE", from)) {}
    ~Converter()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    char32_t convert(const std::string& bytes)
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1) || bytes.empty())
            return 0;
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string in = bytes;
        char* inPtr = in.data();
        size_t inLeft = in.size();
        unsigned char out[8] = {};
        char* outPtr = reinterpret_cast<char*>(out);
        size_t outLeft = sizeof out;
        // Lone lead bytes and unassigned pairs fail with EILSEQ or EINVAL.
        if (::iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
            return 0;
        if (sizeof out - outLeft != 4)
            return 0;
        return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | static_cast<uint32_t>(out[3]) << 24);
    }

private:
    iconv_t cd_;
};

} // namespace

int ActiveCodePage() { return activeCodePage; }
void SetActiveCodePage(int codePage) { activeCodePage = codePage; }

bool IsDBCSLeadByte(uint8_t b)
{
    return activeCodePage == kCodePageBig5 && b >= 0x81 && b <= 0xFE;
}

static Converter& westernConverter()
{
    static Converter western("CP1252");
    return western;
}

char32_t CharToUnicode(const std::string& character)
{
    if (activeCodePage == kCodePageBig5) {
        static Converter big5("BIG5");
        if (character.size() == 1 && static_cast<uint8_t>(character[0]) < 0x80)
            return static_cast<uint8_t>(character[0]);
        return big5.convert(character);
    }
    if (character.size() != 1)
        return 0;
    return westernConverter().convert(character);
}

char32_t WesternToUnicode(uint8_t byte)
{
    if (byte < 0x80)
        return byte;
    return westernConverter().convert(std::string(1, static_cast<char>(byte)));
}

} // namespace platform
