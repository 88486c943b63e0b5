#pragma once

#include <zvenv/CTqEnvJson.h>
#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Message.h>

#include "ZvTest.h"
#include "json/Json.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace envjsontest {

// Runs the calling test again in a child process whose application root is a
// fresh temporary folder; the child's outcome becomes a check here. Returns
// true only in that child, where the test body then runs:
//     if (!InFreshRoot()) return;
inline bool InFreshRoot(bool withValidator = true)
{
    if (zvtest::InChild())
        return true;
    zvtest::AppRoot root;
    EXPECT_EQ(0, zvtest::RunInRoot(root, withValidator)) << "the test failed in its application root";
    return false;
}

inline std::string UserFile(const std::string& name)
{
    return zvtest::ChildRoot() + "user/" + name;
}
inline std::string SystemFile(const std::string& name)
{
    return zvtest::ChildRoot() + "system/" + name;
}

inline std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Every text the platform's message function shows while the object lives.
class CapturedMessages {
public:
    CapturedMessages() { m_previous = zv::SetMessageHandler(&Capture, this); }
    ~CapturedMessages() { zv::SetMessageHandler(m_previous); }
    CapturedMessages(const CapturedMessages&) = delete;
    CapturedMessages& operator=(const CapturedMessages&) = delete;

    const std::vector<std::wstring>& texts() const { return m_texts; }
    std::size_t count() const { return m_texts.size(); }

private:
    static int Capture(const wchar_t* text, UINT, void* context)
    {
        static_cast<CapturedMessages*>(context)->m_texts.emplace_back(text ? text : L"");
        return 1;
    }

    std::vector<std::wstring> m_texts;
    zv::MessageHandler m_previous = nullptr;
};

// The JSON document user/<name>.json of the child's root, after writing the
// given bytes there.
inline CTqEnvJson* OpenUserDocument(const std::string& name, const std::string& bytes)
{
    zvtest::WriteFile(UserFile(name + ".json"), bytes);
    return fnTqEnvMgr()->GetJson(Wide(name).c_str());
}

// The same, with the text as UTF-16LE after the mark FF FE.
inline CTqEnvJson* OpenUserText(const std::string& name, const std::wstring& text)
{
    return OpenUserDocument(name, zvtest::Utf16(text));
}

// The document's tree in the engine's written form, for comparing trees.
inline std::wstring TreeText(CTqEnvJson* doc)
{
    wchar_t* text = JsonWriteFormatted(doc->GetJson());
    std::wstring result = text ? text : L"";
    JsonFreeString(text);
    return result;
}

// The member named key of a node (the root for null), or null.
inline void* Member(CTqEnvJson* doc, const wchar_t* key, void* parent = nullptr)
{
    void** it = doc->GetIterator(key, parent);
    return it && it != doc->GetEndIterator(parent) ? *it : nullptr;
}

inline std::vector<std::wstring> Items(const CStringArray& values)
{
    std::vector<std::wstring> out;
    for (int i = 0; i < values.GetSize(); ++i)
        out.push_back(values.GetAt(i).str());
    return out;
}

} // namespace envjsontest
