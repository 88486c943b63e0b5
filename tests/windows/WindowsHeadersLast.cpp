// Every public header first, then <windows.h> without UNICODE: the headers'
// functions keep their names and the platform's macros work on their types.
#include "AllPublicHeaders.h"

#include <windows.h>

#include <gtest/gtest.h>

TEST(WindowsHeadersLast, OurFunctionsKeepTheirNames)
{
    EXPECT_FALSE(zv::os::FileExists(CString(L"no such file")));
    const CRect rect(0, 0, 10, 10);
    EXPECT_TRUE(PtInRect(&rect, CPoint(3, 4)));
    EXPECT_EQ(static_cast<COLORREF>(0x0000FF), RGB(255, 0, 0));
}
