// Running the tool and the host programs as separate processes.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.hpp"

namespace idf::test {

struct ProcessResult {
    int exit_code = -1;  // -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `args` in the folder `cwd`, capturing both outputs.
inline ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& cwd) {
    TempDir capture;
    const std::string out_path = capture.str() + "/out";
    const std::string err_path = capture.str() + "/err";
    std::vector<std::string> argv_strings{program};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argv_strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(127);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ProcessResult result;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    result.out = read_bytes(out_path).value_or("");
    result.err = read_bytes(err_path).value_or("");
    return result;
}

// A copy of the file `path` in `dir`, under `name`.
inline std::string copy_document(const TempDir& dir, const std::string& path, const std::string& name) {
    const auto bytes = read_bytes(path);
    if (!bytes) throw std::runtime_error("document missing: " + path);
    return dir.write(name, *bytes);
}

// Authorised documents kept in the repository that import completely.
inline const std::string nfe_document = sample_nfe_path();
inline constexpr const char* nfe_key = sample_nfe_key.data();
inline const std::string cte_document = sample_cte_path();
inline constexpr const char* cte_key = sample_cte_key.data();

}  // namespace idf::test
