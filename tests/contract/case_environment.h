// What each contract case runs in: on the host a fresh simulated machine made the one plat::
// calls reach; on Windows the real machine as it is. Implemented once per backend
// (case_environment_sim.cpp, case_environment_win32.cpp).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace contract {

class CaseEnvironment {
public:
    explicit CaseEnvironment(const std::string& case_name);
    ~CaseEnvironment();
    CaseEnvironment(const CaseEnvironment&) = delete;
    CaseEnvironment& operator=(const CaseEnvironment&) = delete;

    // What the case left behind that it should not have (open handles, calls the backend does not
    // model), one line each.
    std::vector<std::string> Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace contract
