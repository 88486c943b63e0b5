#pragma once

#include <zvenv/CTqEnvJson.h>
#include <zvenv/CTqEnvMgr.h>
#include <zvenv/platform/Message.h>
#include <zvenv/platform/Text.h>

#include "../json/JsonTree.h"
#include "ZvTest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace envjsontest {

using namespace zvtest;
using Texts = std::vector<std::wstring>;

// Runs the calling test again in a child in a fresh application root; true only there.
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

// Every text shown through the platform's message function while it lives.
class CapturedMessages {
public:
    CapturedMessages() { m_previous = zv::SetMessageHandler(&Capture, this); }
    ~CapturedMessages() { zv::SetMessageHandler(m_previous); }
    std::vector<std::wstring> texts;

private:
    static int Capture(const wchar_t* text, UINT, void* self)
    {
        static_cast<CapturedMessages*>(self)->texts.emplace_back(text ? text : L"");
        return 1;
    }
    zv::MessageHandler m_previous = nullptr;
};

// The document user/<name>.json of the child's root, holding the given bytes.
inline CTqEnvJson* OpenBytes(const std::string& name, const std::string& bytes)
{
    WriteFile(UserFile(name + ".json"), bytes);
    return fnTqEnvMgr()->GetJson(CString(name.c_str()));
}

inline std::wstring TreeText(CTqEnvJson* doc)
{
    return jsontest::Write(doc->GetJson());
}

// The first member named key of a node (the root for null), or null.
inline void* Member(CTqEnvJson* doc, const wchar_t* key, void* parent = nullptr)
{
    void** it = doc->GetIterator(key, parent);
    return it && it != doc->GetEndIterator(parent) ? *it : nullptr;
}

// Another program saving the file: a new file renamed over the old one.
inline void ReplaceFile(const std::string& path, const std::string& bytes)
{
    WriteFile(path + ".other", bytes);
    std::filesystem::rename(path + ".other", path);
}

// The formatted text of the tree a text or a file holds ("" when none).
inline std::wstring TextTree(const std::wstring& text)
{
    JsonNode root = JsonParse(text.c_str());
    const std::wstring written = jsontest::Write(root);
    JsonDeleteNode(root);
    return written;
}
inline std::wstring FileTree(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    return TextTree(zv::text::DecodeJsonFile(bytes.data(), bytes.size()));
}

inline Texts Items(const CStringArray& values)
{
    Texts out;
    for (int i = 0; i < values.GetSize(); ++i)
        out.push_back(values.GetAt(i).str());
    return out;
}

} // namespace envjsontest
