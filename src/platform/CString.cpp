#include <zvenv/platform/CString.h>
#include <zvenv/platform/Text.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace {

constexpr wchar_t kBlanks[] = L" \t\r\n\v\f";

int Clamp(int value, int low, int high)
{
    return std::max(low, std::min(value, high));
}

} // namespace

CString::CString(const wchar_t* text)
{
    if (text && *text)
        m_data = std::make_shared<std::wstring>(text);
}

CString::CString(const wchar_t* text, int length)
{
    if (text && length > 0)
        m_data = std::make_shared<std::wstring>(text, static_cast<std::size_t>(length));
}

CString::CString(wchar_t ch, int repeat)
{
    if (repeat > 0)
        m_data = std::make_shared<std::wstring>(static_cast<std::size_t>(repeat), ch);
}

CString::CString(const std::wstring& text)
{
    if (!text.empty())
        m_data = std::make_shared<std::wstring>(text);
}

CString::CString(std::wstring&& text)
{
    if (!text.empty())
        m_data = std::make_shared<std::wstring>(std::move(text));
}

CString::CString(const char* utf8)
{
    if (utf8 && *utf8)
        *this = CString(zv::text::DecodeUtf8Lenient(utf8));
}

CString& CString::operator=(const wchar_t* text)
{
    // The text may point into this string's own buffer.
    CString copy(text);
    m_data = std::move(copy.m_data);
    return *this;
}

CString& CString::operator=(wchar_t ch)
{
    *this = CString(ch, 1);
    return *this;
}

std::string CString::ToUtf8() const
{
    return zv::text::EncodeUtf8(GetString());
}

std::wstring& CString::Writable()
{
    if (!m_data)
        m_data = std::make_shared<std::wstring>();
    else if (m_data.use_count() > 1)
        m_data = std::make_shared<std::wstring>(*m_data);
    return *m_data;
}

wchar_t CString::GetAt(int index) const
{
    return (index >= 0 && index < GetLength()) ? (*m_data)[static_cast<std::size_t>(index)] : L'\0';
}

void CString::SetAt(int index, wchar_t ch)
{
    if (index >= 0 && index < GetLength())
        Writable()[static_cast<std::size_t>(index)] = ch;
}

CString& CString::operator+=(const CString& other)
{
    if (other.IsEmpty())
        return *this;
    if (IsEmpty()) {
        m_data = other.m_data;
        return *this;
    }
    const CString keep(other); // other may be *this
    Writable().append(keep.GetString(), static_cast<std::size_t>(keep.GetLength()));
    return *this;
}

CString& CString::operator+=(const wchar_t* text)
{
    if (text && *text)
        *this += CString(text);
    return *this;
}

CString& CString::operator+=(wchar_t ch)
{
    Writable().push_back(ch);
    return *this;
}

void CString::Append(const wchar_t* text, int length)
{
    if (text && length > 0)
        *this += CString(text, length);
}

int CString::Compare(const wchar_t* other) const
{
    const std::wstring_view a(GetString(), static_cast<std::size_t>(GetLength()));
    const std::wstring_view b(other ? other : L"");
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CString::CompareNoCase(const wchar_t* other) const
{
    return zv::text::CompareNoCase(std::wstring_view(GetString(), static_cast<std::size_t>(GetLength())),
                                   std::wstring_view(other ? other : L""));
}

int CString::Find(wchar_t ch, int start) const
{
    if (start < 0 || start >= GetLength())
        return -1;
    const auto pos = m_data->find(ch, static_cast<std::size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const wchar_t* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength())
        return -1;
    const std::wstring_view hay(GetString(), static_cast<std::size_t>(GetLength()));
    const auto pos = hay.find(sub, static_cast<std::size_t>(start));
    return pos == std::wstring_view::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(wchar_t ch) const
{
    if (IsEmpty())
        return -1;
    const auto pos = m_data->rfind(ch);
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::FindOneOf(const wchar_t* chars) const
{
    if (!chars || IsEmpty())
        return -1;
    const auto pos = m_data->find_first_of(chars);
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int count) const
{
    count = Clamp(count, 0, GetLength());
    if (count == GetLength())
        return *this;
    return CString(GetString(), count);
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    first = Clamp(first, 0, GetLength());
    count = Clamp(count, 0, GetLength() - first);
    if (first == 0 && count == GetLength())
        return *this;
    return CString(GetString() + first, count);
}

CString CString::Right(int count) const
{
    count = Clamp(count, 0, GetLength());
    return Mid(GetLength() - count, count);
}

CString CString::SpanIncluding(const wchar_t* chars) const
{
    if (!chars)
        return CString();
    return Left(static_cast<int>(std::wcsspn(GetString(), chars)));
}

CString CString::SpanExcluding(const wchar_t* chars) const
{
    if (!chars)
        return *this;
    return Left(static_cast<int>(std::wcscspn(GetString(), chars)));
}

// Names are mostly ASCII: those characters are mapped here, and a text with
// others goes through the case tables whole (a surrogate pair is one
// character where wchar_t holds 16 bits).
CString& CString::MakeUpper()
{
    if (IsEmpty())
        return *this;
    std::wstring& units = Writable();
    bool ascii = true;
    for (auto& ch : units) {
        if (ch >= L'a' && ch <= L'z')
            ch = static_cast<wchar_t>(ch - (L'a' - L'A'));
        else if (ch >= 0x80)
            ascii = false;
    }
    if (!ascii)
        zv::text::ToUpper(units.data(), units.size());
    return *this;
}

CString& CString::MakeLower()
{
    if (IsEmpty())
        return *this;
    std::wstring& units = Writable();
    bool ascii = true;
    for (auto& ch : units) {
        if (ch >= L'A' && ch <= L'Z')
            ch = static_cast<wchar_t>(ch + (L'a' - L'A'));
        else if (ch >= 0x80)
            ascii = false;
    }
    if (!ascii)
        zv::text::ToLower(units.data(), units.size());
    return *this;
}

// Reverses characters: where wchar_t holds 16 bits, a surrogate pair stays
// in its order, so the text stays what it was made of.
CString& CString::MakeReverse()
{
    if (IsEmpty())
        return *this;
    auto& units = Writable();
    std::reverse(units.begin(), units.end());
    if constexpr (sizeof(wchar_t) == 2) {
        for (std::size_t i = 0; i + 1 < units.size(); ++i) {
            if (units[i] >= 0xDC00 && units[i] <= 0xDFFF && units[i + 1] >= 0xD800 && units[i + 1] <= 0xDBFF) {
                std::swap(units[i], units[i + 1]);
                ++i;
            }
        }
    }
    return *this;
}

CString& CString::Trim()
{
    return TrimRight().TrimLeft();
}
CString& CString::Trim(wchar_t ch)
{
    return TrimRight(ch).TrimLeft(ch);
}
CString& CString::Trim(const wchar_t* chars)
{
    return TrimRight(chars).TrimLeft(chars);
}
CString& CString::TrimLeft()
{
    return TrimLeft(kBlanks);
}
CString& CString::TrimRight()
{
    return TrimRight(kBlanks);
}

CString& CString::TrimLeft(wchar_t ch)
{
    const wchar_t set[2] = {ch, L'\0'};
    return ch ? TrimLeft(set) : *this;
}

CString& CString::TrimRight(wchar_t ch)
{
    const wchar_t set[2] = {ch, L'\0'};
    return ch ? TrimRight(set) : *this;
}

CString& CString::TrimLeft(const wchar_t* chars)
{
    if (!chars || IsEmpty())
        return *this;
    const auto pos = m_data->find_first_not_of(chars);
    if (pos == std::wstring::npos)
        Empty();
    else if (pos > 0)
        *this = Mid(static_cast<int>(pos));
    return *this;
}

CString& CString::TrimRight(const wchar_t* chars)
{
    if (!chars || IsEmpty())
        return *this;
    const auto pos = m_data->find_last_not_of(chars);
    if (pos == std::wstring::npos)
        Empty();
    else if (pos + 1 < m_data->size())
        *this = Left(static_cast<int>(pos + 1));
    return *this;
}

int CString::Replace(wchar_t oldCh, wchar_t newCh)
{
    if (Find(oldCh) < 0)
        return 0;
    int count = 0;
    for (auto& ch : Writable())
        if (ch == oldCh) {
            ch = newCh;
            ++count;
        }
    return count;
}

int CString::Replace(const wchar_t* oldText, const wchar_t* newText)
{
    if (!oldText || !*oldText || IsEmpty())
        return 0;
    const std::wstring from(oldText);
    const std::wstring to(newText ? newText : L"");
    std::wstring result;
    int count = 0;
    std::size_t pos = 0;
    while (true) {
        const auto hit = m_data->find(from, pos);
        if (hit == std::wstring::npos)
            break;
        result.append(*m_data, pos, hit - pos).append(to);
        pos = hit + from.size();
        ++count;
    }
    if (count) {
        result.append(*m_data, pos, std::wstring::npos);
        *this = CString(std::move(result));
    }
    return count;
}

int CString::Remove(wchar_t ch)
{
    if (Find(ch) < 0)
        return 0;
    auto& s = Writable();
    const auto end = std::remove(s.begin(), s.end(), ch);
    const int count = static_cast<int>(s.end() - end);
    s.erase(end, s.end());
    return count;
}

int CString::Insert(int index, wchar_t ch)
{
    const wchar_t text[2] = {ch, L'\0'};
    return Insert(index, text);
}

int CString::Insert(int index, const wchar_t* text)
{
    index = Clamp(index, 0, GetLength());
    if (text && *text)
        Writable().insert(static_cast<std::size_t>(index), text);
    return GetLength();
}

int CString::Delete(int index, int count)
{
    index = Clamp(index, 0, GetLength());
    count = Clamp(count, 0, GetLength() - index);
    if (count > 0)
        Writable().erase(static_cast<std::size_t>(index), static_cast<std::size_t>(count));
    return GetLength();
}

CString CString::Tokenize(const wchar_t* delimiters, int& start) const
{
    if (start < 0 || start >= GetLength() || !delimiters) {
        start = -1;
        return CString();
    }
    const std::wstring& s = *m_data;
    const auto begin = s.find_first_not_of(delimiters, static_cast<std::size_t>(start));
    if (begin == std::wstring::npos) {
        start = -1;
        return CString();
    }
    auto end = s.find_first_of(delimiters, begin);
    if (end == std::wstring::npos)
        end = s.size();
    start = static_cast<int>(std::min(end + 1, s.size()));
    return Mid(static_cast<int>(begin), static_cast<int>(end - begin));
}

wchar_t* CString::GetBuffer(int minLength)
{
    auto& s = Writable();
    if (minLength > static_cast<int>(s.size()))
        s.resize(static_cast<std::size_t>(minLength));
    return s.data();
}

wchar_t* CString::GetBufferSetLength(int length)
{
    auto& s = Writable();
    s.resize(static_cast<std::size_t>(std::max(length, 0)));
    return s.data();
}

void CString::ReleaseBuffer(int newLength)
{
    if (!m_data)
        return;
    auto& s = Writable();
    if (newLength < 0)
        newLength = static_cast<int>(std::wcslen(s.c_str()));
    s.resize(static_cast<std::size_t>(std::min<int>(newLength, static_cast<int>(s.size()))));
    if (s.empty())
        Empty();
}

CString operator+(const CString& a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}
CString operator+(const CString& a, const wchar_t* b)
{
    CString r(a);
    r += b;
    return r;
}
CString operator+(const wchar_t* a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}
CString operator+(const CString& a, wchar_t b)
{
    CString r(a);
    r += b;
    return r;
}
CString operator+(wchar_t a, const CString& b)
{
    CString r(a, 1);
    r += b;
    return r;
}
