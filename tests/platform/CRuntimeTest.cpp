#include <zvenv/platform/CRuntime.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Blanks, one sign right before the digits, "0x" in base 16, and the decimal
// digits of the scripts the platform reads (not Tamil's or N'Ko's).
TEST(CRuntime, IntegersReadAsThePlatformReadsThem)
{
    const struct {
        const wchar_t* text;
        int base;
        std::uint32_t unsignedValue;
        std::int32_t signedValue;
    } cases[] = {
        {L"42", 10, 42, 42},
        {L" \t\v\f\r\n42", 10, 42, 42},
        {L"-5", 10, 0xFFFFFFFBu, -5},
        {L"+5", 10, 5, 5},
        {L"- 5", 10, 0, 0},
        {L"+-5", 10, 0, 0},
        {L"12abc", 10, 12, 12},
        {L"", 10, 0, 0},
        {L"\uff11\uff12", 10, 12, 12},    // fullwidth
        {L"\u0661\u0662", 10, 12, 12},    // Arabic-Indic
        {L"\u06f1\u06f2", 10, 12, 12},    // Extended Arabic-Indic
        {L"\u0967\u0968", 10, 12, 12},    // Devanagari
        {L"\u0e51\u0e52", 10, 12, 12},    // Thai
        {L"\u1811\u1812", 10, 12, 12},    // Mongolian
        {L"1\uff12\u0663", 10, 123, 123}, // scripts mixed
        {L"-\uff17", 10, 0xFFFFFFF9u, -7},
        {L"\u0be7\u0be8", 10, 0, 0}, // Tamil
        {L"\u07c1", 10, 0, 0},       // N'Ko
        {L"\u00b2", 10, 0, 0},       // a superscript is no decimal digit
        {L"4294967295", 10, 0xFFFFFFFFu, INT32_MAX},
        {L"4294967296", 10, 0xFFFFFFFFu, INT32_MAX},
        {L"-99999999999", 10, 0xFFFFFFFFu, INT32_MIN},
        {L"2147483647", 10, 2147483647u, INT32_MAX},
        {L"-2147483648", 10, 0x80000000u, INT32_MIN},
        {L"ff", 16, 255, 255},
        {L"0xFF", 16, 255, 255},
        {L"-0x10", 16, 0xFFFFFFF0u, -16},
        {L"\uff10x1f", 16, 31, 31},  // a zero of any script opens "0x"
        {L"\uff26\uff26", 16, 0, 0}, // fullwidth letters are no digits
        {L"0x1F", 10, 0, 0},
        {L"\uff11\uff10\uff11", 2, 5, 5},
        {L"19", 8, 1, 1},
        {L"z", 36, 35, 35},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zv::crt::wcstoul(c.text, c.base), c.unsignedValue) << "base " << c.base << ", case " << &c - cases;
        EXPECT_EQ(zv::crt::wcstol(c.text, c.base), c.signedValue) << "base " << c.base << ", case " << &c - cases;
        if (c.base == 10) {
            EXPECT_EQ(zv::crt::wtoi(c.text), c.signedValue) << "case " << &c - cases;
        }
    }
    EXPECT_EQ(zv::crt::wcstoul(nullptr, 10), 0u);
    EXPECT_EQ(zv::crt::wcstoul(L"12", 1), 0u) << "no base below 2";
}

} // namespace
