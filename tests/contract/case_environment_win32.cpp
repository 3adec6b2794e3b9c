// Contract cases on Windows run against the machine as it is; under Wine the backend says so, so
// that known differences apply. Win32 only (the cross build).
#include "tests/contract/case_environment.h"

#include "platform/win32/windows_sdk.h"
#include "platform/win32/wine.h"
#include "tests/contract/check.h"

namespace contract {

Backend CurrentBackend() { return plat::win32::RunningOnWine() ? Backend::Wine : Backend::Windows; }

struct CaseEnvironment::State {};

// Programs placed by earlier cases are forgotten (see world_win32.cpp).
CaseEnvironment::CaseEnvironment(const std::string&) { SetEnvironmentVariableA("TVX_CONTRACT_PROGRAMS", nullptr); }
CaseEnvironment::~CaseEnvironment() = default;
std::vector<std::string> CaseEnvironment::Finish() { return {}; }

}  // namespace contract
