// The imaging device class, GUID_DEVCLASS_IMAGE, as the still-image operations name it: the GUID
// for the device installer's calls and its text for registry paths and values. Portable logic.
#pragma once

#include "platform/all.h"

// {6BDD1FC6-810F-11D0-BEC7-08002BE2092F}
inline constexpr GUID kImageClassGuid = {0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
inline constexpr const char kImageClassGuidText[] = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";
