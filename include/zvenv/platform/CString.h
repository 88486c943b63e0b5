#pragma once

#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

/// \file
/// The platform's string: CString, its operators, and the formatting behind
/// CString::Format.

class CString;

namespace zv {

/// One argument of CString::Format. Format is a template that wraps every
/// argument in one of these, so a CString can be passed directly and a wrong
/// argument type gives a defined result instead of undefined behaviour.
struct FormatArg {
    /// Which member of the union holds the argument.
    enum Kind { Int, UInt, Double, WideText, NarrowText, Pointer } kind; ///< The kind of this argument.
    /// The argument, widened to the largest type of its kind.
    union {
        long long i;          ///< Signed integers, characters and booleans.
        unsigned long long u; ///< Unsigned integers and wide characters.
        double d;             ///< Floating-point numbers.
        const wchar_t* ws;    ///< Wide texts, CString included.
        const char* s;        ///< Narrow texts.
        const void* p;        ///< Other pointers.
    };
    // The argument in the member of its kind.
    FormatArg(bool v) : kind(Int), i(v) {}                                      ///< A boolean, as 0 or 1.
    FormatArg(char v) : kind(Int), i(v) {}                                      ///< A narrow character, as an integer.
    FormatArg(signed char v) : kind(Int), i(v) {}                               ///< A small integer.
    FormatArg(unsigned char v) : kind(UInt), u(v) {}                            ///< A small unsigned integer.
    FormatArg(wchar_t v) : kind(UInt), u(static_cast<unsigned long long>(v)) {} ///< A wide character.
    FormatArg(short v) : kind(Int), i(v) {}                                     ///< An integer.
    FormatArg(unsigned short v) : kind(UInt), u(v) {}                           ///< An unsigned integer.
    FormatArg(int v) : kind(Int), i(v) {}                                       ///< An integer.
    FormatArg(unsigned v) : kind(UInt), u(v) {}                                 ///< An unsigned integer.
    FormatArg(long v) : kind(Int), i(v) {}                                      ///< An integer.
    FormatArg(unsigned long v) : kind(UInt), u(v) {}                            ///< An unsigned integer.
    FormatArg(long long v) : kind(Int), i(v) {}                                 ///< A 64-bit integer.
    FormatArg(unsigned long long v) : kind(UInt), u(v) {}                       ///< An unsigned 64-bit integer.
    FormatArg(float v) : kind(Double), d(v) {}                                  ///< A number.
    FormatArg(double v) : kind(Double), d(v) {}                                 ///< A number.
    FormatArg(const wchar_t* v) : kind(WideText), ws(v) {}                      ///< A wide text.
    FormatArg(wchar_t* v) : kind(WideText), ws(v) {}                            ///< A wide text.
    FormatArg(const char* v) : kind(NarrowText), s(v) {}                        ///< A narrow text.
    FormatArg(char* v) : kind(NarrowText), s(v) {}                              ///< A narrow text.
    FormatArg(const std::wstring& v) : kind(WideText), ws(v.c_str()) {}         ///< A standard wide string.
    FormatArg(const CString& v);                                                ///< A CString, as its text.
    /// An enumeration, as its integer.
    template <typename T, typename = std::enable_if_t<std::is_enum_v<T>>>
    FormatArg(T v) : kind(Int), i(static_cast<long long>(v))
    {
    }
    FormatArg(const void* v) : kind(Pointer), p(v) {} ///< A pointer, printed as an address.
};

/// Formats with the platform's meaning of the conversions: in a wide format
/// "%s" takes a wide string and "%S" a narrow one, "%c" a wide character,
/// "%I64d" a 64-bit integer; everything else as the C library gives it.
ZVPLATFORM_API std::wstring FormatText(const wchar_t* format, const FormatArg* args, std::size_t count);

} // namespace zv

/// A counted wide string with a shared buffer: copies are cheap, and the first
/// change of a shared copy makes it a private one (copy on write). Indexes and
/// lengths count wchar_t units; positions and counts outside the text are
/// clamped to it.
class ZVPLATFORM_API CString {
public:
    CString() = default;                      ///< The empty text.
    CString(const wchar_t* text);             ///< A copy of a null-terminated text; null gives the empty text.
    CString(const wchar_t* text, int length); ///< The first length units of text.
    CString(wchar_t ch, int repeat = 1);      ///< The character repeated.
    CString(const std::wstring& text);        ///< A copy of a standard string.
    CString(std::wstring&& text);             ///< Takes over a standard string.
    /// Narrow text, taken as UTF-8.
    explicit CString(const char* utf8);

    CString(const CString&) = default;                ///< Shares the other's text.
    CString(CString&&) noexcept = default;            ///< Takes the other's text.
    CString& operator=(const CString&) = default;     ///< Shares the other's text.
    CString& operator=(CString&&) noexcept = default; ///< Takes the other's text.
    CString& operator=(const wchar_t* text);          ///< A copy of a null-terminated text.
    CString& operator=(wchar_t ch);                   ///< The one character.

    /// The number of wchar_t units.
    int GetLength() const { return m_data ? static_cast<int>(m_data->size()) : 0; }
    bool IsEmpty() const { return GetLength() == 0; } ///< True for the empty text.
    void Empty() { m_data.reset(); }                  ///< Makes the text empty.

    /// The text, null-terminated; valid until the string changes or goes.
    const wchar_t* GetString() const { return m_data ? m_data->c_str() : L""; }
    /// The text, as GetString().
    operator const wchar_t*() const { return GetString(); }
    /// The whole text as a standard string (a copy of the characters).
    std::wstring str() const { return m_data ? *m_data : std::wstring(); }
    /// The text as UTF-8.
    std::string ToUtf8() const;

    /// The unit at index; 0 outside the text.
    wchar_t GetAt(int index) const;
    /// The unit at index, as GetAt.
    wchar_t operator[](int index) const { return GetAt(index); }
    /// Replaces the unit at index; nothing happens outside the text.
    void SetAt(int index, wchar_t ch);

    CString& operator+=(const CString& other); ///< Appends another string.
    CString& operator+=(const wchar_t* text);  ///< Appends a null-terminated text.
    CString& operator+=(wchar_t ch);           ///< Appends a character.
    /// Appends the first length units of text.
    void Append(const wchar_t* text, int length);
    void AppendChar(wchar_t ch) { *this += ch; } ///< Appends a character.

    /// Exact comparison by code unit: negative, zero or positive.
    int Compare(const wchar_t* other) const;
    /// Comparison after Unicode simple case folding, independent of the locale.
    int CompareNoCase(const wchar_t* other) const;

    /// The index of the first ch at or after start; -1 when there is none.
    int Find(wchar_t ch, int start = 0) const;
    /// The index of the first occurrence of sub at or after start; -1 when there is none.
    int Find(const wchar_t* sub, int start = 0) const;
    /// The index of the last ch; -1 when there is none.
    int ReverseFind(wchar_t ch) const;
    /// The index of the first unit that is one of chars; -1 when there is none.
    int FindOneOf(const wchar_t* chars) const;

    /// The first count units.
    CString Left(int count) const;
    /// The text from index first to the end.
    CString Mid(int first) const;
    /// count units from index first.
    CString Mid(int first, int count) const;
    /// The last count units.
    CString Right(int count) const;
    /// The longest start of the text made only of units in chars.
    CString SpanIncluding(const wchar_t* chars) const;
    /// The longest start of the text holding no unit of chars.
    CString SpanExcluding(const wchar_t* chars) const;

    /// Upper case by Unicode simple case mapping, in every locale alike.
    CString& MakeUpper();
    /// Lower case by Unicode simple case mapping, in every locale alike.
    CString& MakeLower();
    /// Reverses the order of the units.
    CString& MakeReverse();

    /// Removes blanks at both ends. Blanks are space, tab, CR, LF, VT and FF,
    /// as the platform's isspace gives.
    CString& Trim();
    CString& Trim(wchar_t ch);                ///< Removes the character at both ends.
    CString& Trim(const wchar_t* chars);      ///< Removes any of the characters at both ends.
    CString& TrimLeft();                      ///< Removes blanks at the start.
    CString& TrimLeft(wchar_t ch);            ///< Removes the character at the start.
    CString& TrimLeft(const wchar_t* chars);  ///< Removes any of the characters at the start.
    CString& TrimRight();                     ///< Removes blanks at the end.
    CString& TrimRight(wchar_t ch);           ///< Removes the character at the end.
    CString& TrimRight(const wchar_t* chars); ///< Removes any of the characters at the end.

    /// Replaces every oldCh by newCh; returns how many were replaced.
    int Replace(wchar_t oldCh, wchar_t newCh);
    /// Replaces every occurrence of oldText (found left to right, not
    /// overlapping) by newText; returns how many were replaced.
    int Replace(const wchar_t* oldText, const wchar_t* newText);
    /// Removes every ch; returns how many were removed.
    int Remove(wchar_t ch);
    /// Inserts ch before index; returns the new length.
    int Insert(int index, wchar_t ch);
    /// Inserts text before index; returns the new length.
    int Insert(int index, const wchar_t* text);
    /// Removes count units from index; returns the new length.
    int Delete(int index, int count = 1);

    /// The next token after start, delimited by any of the characters; start
    /// moves past it, and becomes -1 when no token is left.
    CString Tokenize(const wchar_t* delimiters, int& start) const;

    /// Replaces the text by the formatted arguments, with the platform's
    /// conversions (see zv::FormatText); any argument type is safe.
    template <typename... Args> void Format(const wchar_t* format, const Args&... args)
    {
        const zv::FormatArg list[] = {zv::FormatArg(args)..., zv::FormatArg(0)};
        *this = CString(zv::FormatText(format, list, sizeof...(Args)));
    }
    /// Appends the formatted arguments, as Format does.
    template <typename... Args> void AppendFormat(const wchar_t* format, const Args&... args)
    {
        const zv::FormatArg list[] = {zv::FormatArg(args)..., zv::FormatArg(0)};
        *this += CString(zv::FormatText(format, list, sizeof...(Args)));
    }

    /// A writable buffer of at least minLength characters (plus the null);
    /// ReleaseBuffer(-1) then takes the length up to the first null.
    wchar_t* GetBuffer(int minLength = 0);
    /// A writable buffer of exactly length characters (plus the null).
    wchar_t* GetBufferSetLength(int length);
    /// Ends the use of the buffer: the text is newLength units long, or runs
    /// to the first null when newLength is -1.
    void ReleaseBuffer(int newLength = -1);

private:
    std::wstring& Writable();

    std::shared_ptr<std::wstring> m_data;
};

/// \name Joining and comparing strings
/// Comparisons are exact, code unit by code unit (CString::Compare).
///@{
/// The two texts one after the other.
ZVPLATFORM_API CString operator+(const CString& a, const CString& b);
ZVPLATFORM_API CString operator+(const CString& a, const wchar_t* b);
ZVPLATFORM_API CString operator+(const wchar_t* a, const CString& b);
ZVPLATFORM_API CString operator+(const CString& a, wchar_t b);
ZVPLATFORM_API CString operator+(wchar_t a, const CString& b);

/// Equal texts.
inline bool operator==(const CString& a, const CString& b)
{
    return a.Compare(b) == 0;
}
inline bool operator==(const CString& a, const wchar_t* b)
{
    return a.Compare(b) == 0;
}
inline bool operator==(const wchar_t* a, const CString& b)
{
    return b.Compare(a) == 0;
}
/// Different texts.
inline bool operator!=(const CString& a, const CString& b)
{
    return a.Compare(b) != 0;
}
inline bool operator!=(const CString& a, const wchar_t* b)
{
    return a.Compare(b) != 0;
}
inline bool operator!=(const wchar_t* a, const CString& b)
{
    return b.Compare(a) != 0;
}
/// a sorts before b.
inline bool operator<(const CString& a, const CString& b)
{
    return a.Compare(b) < 0;
}
///@}

inline zv::FormatArg::FormatArg(const CString& v) : kind(WideText), ws(v.GetString()) {}

namespace zv {
/// The hash of a text by its code units (FNV-1a): what CString keys hash to
/// in CMap and in the standard containers. Names are short, and one step a
/// unit costs less than the general byte hash of the standard library.
inline std::size_t HashText(std::wstring_view text)
{
    std::uint64_t h = 14695981039346656037ull;
    for (wchar_t c : text) {
        h ^= static_cast<std::uint32_t>(c);
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h ^ (h >> 29));
}
} // namespace zv

/// \cond
// Hashing of a CString, so that it can key the standard containers.
template <> struct std::hash<CString> {
    std::size_t operator()(const CString& s) const noexcept
    {
        return zv::HashText(std::wstring_view(s.GetString(), static_cast<std::size_t>(s.GetLength())));
    }
};
/// \endcond
