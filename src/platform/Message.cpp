#include <zvenv/platform/Message.h>

#include "SystemMessage.h"

#include <atomic>

namespace zv {
namespace {

int ShowDefault(const wchar_t* text, UINT type, void*)
{
    return os::ShowSystemMessage(text ? text : L"", type);
}

std::atomic<MessageHandler> g_handler{ShowDefault};
std::atomic<void*> g_context{nullptr};

} // namespace

MessageHandler SetMessageHandler(MessageHandler handler, void* context)
{
    g_context = context;
    return g_handler.exchange(handler ? handler : ShowDefault);
}

} // namespace zv

int AfxMessageBox(LPCWSTR text, UINT type, UINT helpId)
{
    (void)helpId;
    return zv::g_handler.load()(text, type, zv::g_context.load());
}
