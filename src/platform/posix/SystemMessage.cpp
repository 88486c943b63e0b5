#include "../SystemMessage.h"

#include <zvenv/platform/Text.h>

#include <cstdio>

namespace zv::os {

int ShowSystemMessage(const wchar_t* text, UINT)
{
    const std::string utf8 = text::EncodeUtf8(text);
    std::fprintf(stderr, "%s\n", utf8.c_str());
    return 1;
}

} // namespace zv::os
