#pragma once

#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <type_traits>

class CString;

namespace zv {

// One argument of CString::Format. Format is a template that wraps every
// argument in one of these, so a CString can be passed directly and a wrong
// argument type gives a defined result instead of undefined behaviour.
struct FormatArg {
    enum Kind { Int, UInt, Double, WideText, NarrowText, Pointer } kind;
    union {
        long long i;
        unsigned long long u;
        double d;
        const wchar_t* ws;
        const char* s;
        const void* p;
    };
    FormatArg(bool v) : kind(Int), i(v) {}
    FormatArg(char v) : kind(Int), i(v) {}
    FormatArg(signed char v) : kind(Int), i(v) {}
    FormatArg(unsigned char v) : kind(UInt), u(v) {}
    FormatArg(wchar_t v) : kind(UInt), u(static_cast<unsigned long long>(v)) {}
    FormatArg(short v) : kind(Int), i(v) {}
    FormatArg(unsigned short v) : kind(UInt), u(v) {}
    FormatArg(int v) : kind(Int), i(v) {}
    FormatArg(unsigned v) : kind(UInt), u(v) {}
    FormatArg(long v) : kind(Int), i(v) {}
    FormatArg(unsigned long v) : kind(UInt), u(v) {}
    FormatArg(long long v) : kind(Int), i(v) {}
    FormatArg(unsigned long long v) : kind(UInt), u(v) {}
    FormatArg(float v) : kind(Double), d(v) {}
    FormatArg(double v) : kind(Double), d(v) {}
    FormatArg(const wchar_t* v) : kind(WideText), ws(v) {}
    FormatArg(wchar_t* v) : kind(WideText), ws(v) {}
    FormatArg(const char* v) : kind(NarrowText), s(v) {}
    FormatArg(char* v) : kind(NarrowText), s(v) {}
    FormatArg(const std::wstring& v) : kind(WideText), ws(v.c_str()) {}
    FormatArg(const CString& v);
    template <typename T, typename = std::enable_if_t<std::is_enum_v<T>>>
    FormatArg(T v) : kind(Int), i(static_cast<long long>(v)) {}
    FormatArg(const void* v) : kind(Pointer), p(v) {}
};

// Formats with the platform's meaning of the conversions: in a wide format
// "%s" takes a wide string and "%S" a narrow one, "%c" a wide character,
// "%I64d" a 64-bit integer; everything else as the C library gives it.
ZVPLATFORM_API std::wstring FormatText(const wchar_t* format, const FormatArg* args, std::size_t count);

} // namespace zv

// A counted wide string with a shared buffer: copies are cheap, and the first
// change of a shared copy makes it a private one (copy on write).
class ZVPLATFORM_API CString {
public:
    CString() = default;
    CString(const wchar_t* text);
    CString(const wchar_t* text, int length);
    CString(wchar_t ch, int repeat = 1);
    CString(const std::wstring& text);
    CString(std::wstring&& text);
    // Narrow text is taken as UTF-8.
    explicit CString(const char* utf8);

    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const wchar_t* text);
    CString& operator=(wchar_t ch);

    int GetLength() const { return m_data ? static_cast<int>(m_data->size()) : 0; }
    bool IsEmpty() const { return GetLength() == 0; }
    void Empty() { m_data.reset(); }

    const wchar_t* GetString() const { return m_data ? m_data->c_str() : L""; }
    operator const wchar_t*() const { return GetString(); }
    // The whole text as a standard string (a copy of the characters).
    std::wstring str() const { return m_data ? *m_data : std::wstring(); }
    // The text as UTF-8.
    std::string ToUtf8() const;

    wchar_t GetAt(int index) const;
    wchar_t operator[](int index) const { return GetAt(index); }
    void SetAt(int index, wchar_t ch);

    CString& operator+=(const CString& other);
    CString& operator+=(const wchar_t* text);
    CString& operator+=(wchar_t ch);
    void Append(const wchar_t* text, int length);
    void AppendChar(wchar_t ch) { *this += ch; }

    // Exact comparison by code unit: negative, zero or positive.
    int Compare(const wchar_t* other) const;
    // Comparison after Unicode simple case folding, independent of the locale.
    int CompareNoCase(const wchar_t* other) const;

    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* sub, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    int FindOneOf(const wchar_t* chars) const;

    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;
    CString SpanIncluding(const wchar_t* chars) const;
    CString SpanExcluding(const wchar_t* chars) const;

    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();

    // Blanks are space, tab, CR, LF, VT and FF, as the platform's isspace gives.
    CString& Trim();
    CString& Trim(wchar_t ch);
    CString& Trim(const wchar_t* chars);
    CString& TrimLeft();
    CString& TrimLeft(wchar_t ch);
    CString& TrimLeft(const wchar_t* chars);
    CString& TrimRight();
    CString& TrimRight(wchar_t ch);
    CString& TrimRight(const wchar_t* chars);

    int Replace(wchar_t oldCh, wchar_t newCh);
    int Replace(const wchar_t* oldText, const wchar_t* newText);
    int Remove(wchar_t ch);
    int Insert(int index, wchar_t ch);
    int Insert(int index, const wchar_t* text);
    int Delete(int index, int count = 1);

    // The next token after start, delimited by any of the characters; start
    // moves past it, and becomes -1 when no token is left.
    CString Tokenize(const wchar_t* delimiters, int& start) const;

    template <typename... Args>
    void Format(const wchar_t* format, const Args&... args)
    {
        const zv::FormatArg list[] = {zv::FormatArg(args)..., zv::FormatArg(0)};
        *this = CString(zv::FormatText(format, list, sizeof...(Args)));
    }
    template <typename... Args>
    void AppendFormat(const wchar_t* format, const Args&... args)
    {
        const zv::FormatArg list[] = {zv::FormatArg(args)..., zv::FormatArg(0)};
        *this += CString(zv::FormatText(format, list, sizeof...(Args)));
    }

    // A writable buffer of at least minLength characters (plus the null);
    // ReleaseBuffer(-1) then takes the length up to the first null.
    wchar_t* GetBuffer(int minLength = 0);
    wchar_t* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

private:
    std::wstring& Writable();

    std::shared_ptr<std::wstring> m_data;
};

ZVPLATFORM_API CString operator+(const CString& a, const CString& b);
ZVPLATFORM_API CString operator+(const CString& a, const wchar_t* b);
ZVPLATFORM_API CString operator+(const wchar_t* a, const CString& b);
ZVPLATFORM_API CString operator+(const CString& a, wchar_t b);
ZVPLATFORM_API CString operator+(wchar_t a, const CString& b);

inline bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
inline bool operator==(const CString& a, const wchar_t* b) { return a.Compare(b) == 0; }
inline bool operator==(const wchar_t* a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }
inline bool operator!=(const CString& a, const wchar_t* b) { return a.Compare(b) != 0; }
inline bool operator!=(const wchar_t* a, const CString& b) { return b.Compare(a) != 0; }
inline bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }

inline zv::FormatArg::FormatArg(const CString& v) : kind(WideText), ws(v.GetString()) {}

template <>
struct std::hash<CString> {
    std::size_t operator()(const CString& s) const noexcept
    {
        return std::hash<std::wstring_view>()(std::wstring_view(s.GetString(), static_cast<std::size_t>(s.GetLength())));
    }
};
