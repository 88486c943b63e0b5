#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <random>
#include <string>

#include <zvenv/platform/Text.h>

// A fuzz input's head is the document under test and its tail the control
// values, so any plain file is a seed; past the tail a generator seeded by the
// whole input goes on.
namespace zvfuzz {

// A document as text: UTF-16LE after a mark, UTF-8 (stray bytes as
// Windows-1252) otherwise, cut at its first null as a C string is.
inline std::wstring DecodeText(const std::string& bytes)
{
    if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0)
        return zv::text::DecodeUtf16le(bytes.data() + 2, bytes.size() - 2).c_str();
    return zv::text::DecodeUtf8Lenient(bytes).c_str();
}

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_end(size)
    {
        for (std::size_t i = 0; i < size; ++i) // FNV-1a
            m_state = (m_state ^ data[i]) * 1099511628211ull;
        m_state |= 1;
    }

    // The last byte counts the control bytes before it; the rest is the document.
    std::string TakeDocument()
    {
        if (m_end == 0)
            return {};
        --m_end;
        m_begin = m_end - std::min<std::size_t>(m_data[m_end], m_end);
        return std::string(reinterpret_cast<const char*>(m_data), m_begin);
    }

    std::uint8_t Byte()
    {
        if (m_begin < m_end)
            return m_data[--m_end];
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return static_cast<std::uint8_t>(m_state >> 24);
    }

    // A value in [low, high], both included.
    std::uint32_t Range(std::uint32_t low, std::uint32_t high)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = (value << 8) | Byte();
        return low + static_cast<std::uint32_t>(value % (static_cast<std::uint64_t>(high) - low + 1));
    }

    bool Flag() { return (Byte() & 1) != 0; }

    template <typename T, std::size_t N> const T& Pick(const T (&items)[N]) { return items[Range(0, N - 1)]; }

    // A text of up to maxLength characters drawn from the alphabet.
    std::wstring Text(const wchar_t* alphabet, std::size_t maxLength)
    {
        std::wstring text(Range(0, static_cast<std::uint32_t>(maxLength)), L' ');
        for (wchar_t& c : text)
            c = alphabet[Range(0, static_cast<std::uint32_t>(std::wcslen(alphabet) - 1))];
        return text;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_begin = 0;
    std::size_t m_end;
    std::uint64_t m_state = 1469598103934665603ull;
};

// Reports a broken property and stops the run, so that libFuzzer keeps the input.
inline void Check(bool condition, const char* what, const std::wstring& detail = {})
{
    if (condition)
        return;
    std::fprintf(stderr, "property broken: %s\n  detail: ", what);
    for (wchar_t c : detail)
        std::fprintf(stderr, c >= 0x20 && c < 0x7f ? "%c" : "\\u{%x}", static_cast<unsigned>(c));
    std::fputc('\n', stderr);
    std::abort();
}

// A folder of the target's own (in memory where the system has one, sparing
// the disk the flushes), removed when the run ends.
inline const std::string& ScratchFolder()
{
    static const std::string* folder = [] { // never destroyed: the removal at exit needs it
        namespace fs = std::filesystem;
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        auto* name = new std::string((base / ("zvfuzz-" + std::to_string(std::random_device()()))).string());
        if (!fs::create_directory(*name))
            std::abort();
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(*folder, ignored);
        });
        return name;
    }();
    return *folder;
}

} // namespace zvfuzz
