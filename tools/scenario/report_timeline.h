// The report page's timeline: a picture of the run on the virtual clock (inline SVG). Portable.
#pragma once

#include <string>

#include "tools/scenario/report.h"

namespace tvx::html {

struct TimelinePicture {
    std::string svg;      // the picture
    std::string caption;  // what its scale shows, in words
};

TimelinePicture DrawTimeline(const Report& report);

}  // namespace tvx::html
