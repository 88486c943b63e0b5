// Every public header first, then <windows.h> without UNICODE: nothing the
// headers declare was renamed by a macro of the platform (this file and
// WindowsHeadersFirst.cpp would then call different names, and one of them
// would not link), and the platform's macros work on the headers' types.
#include "AllPublicHeaders.h"

#include <windows.h>

#include "ZvTest.h"

#include <gtest/gtest.h>

TEST(WindowsHeadersLast, OurFunctionsKeepTheirNames)
{
    zvtest::TempDir dir;
    const CString from((dir / "from.ini").c_str()), to((dir / "to.ini").c_str());
    ASSERT_TRUE(zv::os::WriteFileAtomic(from, "x", 1));
    EXPECT_TRUE(zv::os::CopyFileTo(from, to, true));
    EXPECT_TRUE(zv::os::RemoveFile(to));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(to));
    const zv::os::ModuleHandle module = zv::os::LoadModule(zv::os::ModuleFileName(L"JSONLint"));
    ASSERT_NE(module, nullptr);
    EXPECT_NE(zv::os::FindEntryPoint(module, "JSONCPP_Parse"), nullptr);
    zv::os::UnloadModule(module);
    const CRect rect(0, 0, 10, 10);
    EXPECT_TRUE(PtInRect(&rect, CPoint(3, 4)));
    EXPECT_EQ(static_cast<COLORREF>(0x0000FF), RGB(255, 0, 0));
}
