# The build's one version number, project(... VERSION), in the forms the Windows build and the
# driver package need: TVX_FILE_VERSION "major.minor.patch.tweak" (the version resource's texts
# and the INF's DriverVer) and TVX_FILE_VERSION_COMMAS "major,minor,patch,tweak" (the resource's
# fixed file and product versions). Parts the project version leaves out count as 0.
include_guard(GLOBAL)

set(tvx_version_parts "")
foreach(part MAJOR MINOR PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
        list(APPEND tvx_version_parts 0)
    else()
        list(APPEND tvx_version_parts ${PROJECT_VERSION_${part}})
    endif()
endforeach()
list(JOIN tvx_version_parts "." TVX_FILE_VERSION)
list(JOIN tvx_version_parts "," TVX_FILE_VERSION_COMMAS)

# The texts of the version resource that are not the version.
set(TVX_COMPANY_NAME "Tarvix")
set(TVX_PRODUCT_NAME "Tarvix Q920k")
set(TVX_FILE_DESCRIPTION "Tarvix Q920k scanner device co-installer")
set(TVX_COPYRIGHT "Copyright (C) 2026 Tarvix")
