#pragma once

#include <zvenv/CTqEnvIni.h>

/// \file
/// The current user's setting document.

/// The per-user setting document ("envsetting.ini"); an INI document with no
/// behaviour of its own. Its one instance is CTqEnvMgr::GetEnvSetting().
class ZVENVMGR_API CTqEnvSetting : public CTqEnvIni {
public:
    CTqEnvSetting();           ///< A setting document without a file.
    ~CTqEnvSetting() override; ///< Releases the cache without saving.
    /// Copies another setting document as CTqEnvIni's assignment does.
    CTqEnvSetting& operator=(const CTqEnvSetting& other);
};
