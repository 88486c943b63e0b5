#pragma once

#include <zvenv/CTqEnvIni.h>

// The per-user setting document ("envsetting.ini"); an INI document with no
// behaviour of its own.
class ZVENVMGR_API CTqEnvSetting : public CTqEnvIni {
public:
    CTqEnvSetting();
    ~CTqEnvSetting() override;
    CTqEnvSetting& operator=(const CTqEnvSetting& other);
};
