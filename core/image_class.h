// The imaging device class, GUID_DEVCLASS_IMAGE, as the still-image operations and the imaging
// device walk hand it to the device installer; its text is plat::text::kImageClassGuid. Portable
// logic.
#pragma once

#include "platform/all.h"
#include "platform/text/guid.h"

inline constexpr GUID kImageClass = plat::text::GuidFromText<GUID>(plat::text::kImageClassGuid);
