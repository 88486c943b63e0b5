#include <zvenv/CTqEnvSetting.h>

CTqEnvSetting::CTqEnvSetting() = default;

CTqEnvSetting::~CTqEnvSetting() = default;

CTqEnvSetting& CTqEnvSetting::operator=(const CTqEnvSetting& other)
{
    CTqEnvIni::operator=(other);
    return *this;
}
