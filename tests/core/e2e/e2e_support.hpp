// Running the tool and the host programs as separate processes.
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// Entries that are not files, for the exchange file's path: a character
// device (the system's null device, made with mknod) when the test runs as
// root, and always a FIFO.
inline std::vector<std::string> special_kinds() {
    if (::geteuid() == 0) return {"device", "fifo"};
    return {"fifo"};
}
inline void make_special(const std::string& path, const std::string& kind) {
    const int made =
        kind == "device" ? ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) : ::mkfifo(path.c_str(), 0666);
    if (made != 0) throw std::runtime_error("cannot make " + kind + " " + path);
}
inline bool is_special(const std::string& path, const std::string& kind) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && (kind == "device" ? S_ISCHR(st.st_mode) : S_ISFIFO(st.st_mode));
}

// A folder whose entries cannot be removed while this lives: no write
// permission for a user, a read-only bind mount for root (who is not held
// by permissions). ready() is false when neither can be had.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::string folder) : folder_(std::move(folder)) {
        if (::geteuid() != 0) {
            ready_ = ::chmod(folder_.c_str(), 0555) == 0;
            return;
        }
        mounted_ = ::mount(folder_.c_str(), folder_.c_str(), nullptr, MS_BIND, nullptr) == 0;
        ready_ = mounted_ && ::mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyFolder() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
        if (::geteuid() != 0) ::chmod(folder_.c_str(), 0755);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool ready() const { return ready_; }

private:
    std::string folder_;
    bool mounted_ = false;
    bool ready_ = false;
};

}  // namespace idf::test
