#pragma once

#include "ZvTest.h"

#include <zvenv/CTqEnvMgr.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace zvtest {

// Paths the library gives, with '/' on both systems.
inline std::string Narrow(const CString& text)
{
    std::string utf8 = text.ToUtf8();
    std::replace(utf8.begin(), utf8.end(), kSeparator, '/');
    return utf8;
}
inline std::string Root()
{
    return Narrow(CString(ChildRoot().c_str()));
}
} // namespace zvtest
