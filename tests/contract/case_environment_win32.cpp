// Contract cases on Windows run against the machine as it is; under Wine the backend says so, so
// that known differences apply. Win32 only (the cross build).
#include "tests/contract/case_environment.h"

#include "platform/win32/wine.h"
#include "tests/contract/check.h"

namespace contract {

Backend CurrentBackend() { return plat::win32::RunningOnWine() ? Backend::Wine : Backend::Windows; }

struct CaseEnvironment::State {};

CaseEnvironment::CaseEnvironment(const std::string&) {}
CaseEnvironment::~CaseEnvironment() = default;
std::vector<std::string> CaseEnvironment::Finish() { return {}; }

}  // namespace contract
