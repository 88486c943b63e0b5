#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <zvenv/platform/Text.h>

// Hands out the control values of one fuzz input. The targets take their
// choices from the input's tail and leave the head as the document under
// test, so a plain file dropped into a corpus is already a useful seed. When
// the tail runs out the choices continue from a generator seeded by the whole
// input, so short inputs still drive every operation and stay reproducible.
namespace zvfuzz {

// A document as text: UTF-16LE after a mark, UTF-8 (stray bytes as
// Windows-1252) otherwise, cut at its first null as a C string is.
inline std::wstring DecodeText(const std::string& bytes)
{
    std::wstring text;
    if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0)
        text = zv::text::DecodeUtf16le(bytes.data() + 2, bytes.size() - 2);
    else
        text = zv::text::DecodeUtf8Lenient(bytes);
    return text.c_str();
}

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_end(size)
    {
        // FNV-1a of the whole input seeds the fallback generator.
        std::uint64_t hash = 1469598103934665603ull;
        for (std::size_t i = 0; i < size; ++i)
            hash = (hash ^ data[i]) * 1099511628211ull;
        m_state = hash | 1;
    }

    // Splits the input: the last byte says how many bytes before it are
    // control bytes; everything in front of them is the document.
    std::string TakeDocument()
    {
        if (m_end == 0)
            return {};
        --m_end;
        const std::size_t control = std::min<std::size_t>(m_data[m_end], m_end);
        const std::size_t documentEnd = m_end - control;
        m_begin = documentEnd;
        return std::string(reinterpret_cast<const char*>(m_data), documentEnd);
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
        const std::uint64_t span = static_cast<std::uint64_t>(high) - low + 1;
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = (value << 8) | Byte();
        return low + static_cast<std::uint32_t>(value % span);
    }

    bool Flag() { return (Byte() & 1) != 0; }

    template <typename T, std::size_t N> const T& Pick(const T (&items)[N]) { return items[Range(0, N - 1)]; }

    // A text of up to maxLength characters drawn from the alphabet.
    std::wstring Text(const wchar_t* alphabet, std::size_t maxLength)
    {
        const std::size_t count = std::wcslen(alphabet);
        const std::size_t length = Range(0, static_cast<std::uint32_t>(maxLength));
        std::wstring text;
        for (std::size_t i = 0; i < length; ++i)
            text += alphabet[Range(0, static_cast<std::uint32_t>(count - 1))];
        return text;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_begin = 0;
    std::size_t m_end;
    std::uint64_t m_state;
};

// Reports a broken property with the values involved and stops the run, so
// libFuzzer keeps the input that caused it.
[[noreturn]] inline void Fail(const char* what, const std::wstring& detail = {})
{
    std::fprintf(stderr, "property broken: %s\n", what);
    if (!detail.empty()) {
        std::fprintf(stderr, "  detail: ");
        for (wchar_t c : detail) {
            if (c >= 0x20 && c < 0x7f)
                std::fputc(static_cast<int>(c), stderr);
            else
                std::fprintf(stderr, "\\u{%x}", static_cast<unsigned>(c));
        }
        std::fputc('\n', stderr);
    }
    std::abort();
}

inline void Check(bool condition, const char* what, const std::wstring& detail = {})
{
    if (!condition)
        Fail(what, detail);
}

// A folder of the target's own for the files it writes, removed when the run
// ends. A memory file system, when there is one, spares the disk the flushes
// of every atomic write.
inline const std::string& ScratchFolder()
{
    // Never destroyed, so the removal at exit still finds the name.
    static const std::string* folder = [] {
#ifdef _WIN32
        std::random_device seed;
        auto* name =
            new std::string((std::filesystem::temp_directory_path() / ("zvfuzz-" + std::to_string(seed()))).string());
        if (!std::filesystem::create_directory(*name))
            std::abort();
#else
        auto* name =
            new std::string(std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/zvfuzz-XXXXXX");
        if (!mkdtemp(&(*name)[0]))
            std::abort();
#endif
        return name;
    }();
    static const bool removedAtExit = [] {
        return std::atexit([] {
                   std::error_code ignored;
                   std::filesystem::remove_all(*folder, ignored);
               }) == 0;
    }();
    (void)removedAtExit;
    return *folder;
}

} // namespace zvfuzz
