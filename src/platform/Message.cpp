#include <zvenv/platform/Message.h>
#include <zvenv/platform/Text.h>

#include <atomic>
#include <cstdio>
#include <cwchar>

namespace zv {
namespace {

int WriteToStandardError(const wchar_t* text, UINT, void*)
{
    const std::string utf8 = text::EncodeUtf8(text ? text : L"");
    std::fprintf(stderr, "%s\n", utf8.c_str());
    return 1;
}

std::atomic<MessageHandler> g_handler{WriteToStandardError};
std::atomic<void*> g_context{nullptr};

} // namespace

MessageHandler SetMessageHandler(MessageHandler handler, void* context)
{
    g_context = context;
    return g_handler.exchange(handler ? handler : WriteToStandardError);
}

} // namespace zv

int AfxMessageBox(LPCWSTR text, UINT type, UINT helpId)
{
    (void)helpId;
    return zv::g_handler.load()(text, type, zv::g_context.load());
}
