#pragma once

#include "ZvTest.h"

#include <zvenv/CTqEnvMgr.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace zvtest {

// In the parent: lays out a root, lets prepare fill it, runs the test in a
// child there (its manager's root) and returns true; in the child false.
inline bool RanInRoot(const std::function<void(const AppRoot&)>& prepare = nullptr)
{
    if (InChild())
        return false;
    AppRoot root;
    if (prepare)
        prepare(root);
    EXPECT_EQ(RunInRoot(root), 0) << "the test failed in its application root";
    return true;
}

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
