#include <zvenv/Version.h>

const char* ZvEnvMgrVersion()
{
    return ZVENVMGR_VERSION_STRING;
}
