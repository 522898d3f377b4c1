// What the fuzz targets share: a private folder on the host that the
// simulated file system resolves program paths in, made once per process.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/sim/sim_files.h"

namespace fuzz {

// A scratch folder below /dev/shm when there is one: every input goes
// through a real file, and a memory-backed folder keeps that from being the
// bottleneck. Removed again when the process ends normally.
class ScratchFiles {
public:
    ScratchFiles() : files_(MakeFolder()), installed_(files_) {}
    ~ScratchFiles() {
        std::error_code error;
        std::filesystem::remove_all(files_.root(), error);
    }
    sim::FileSystem& files() { return files_; }

private:
    static std::string MakeFolder() {
        char shm[] = "/dev/shm/pelorin-fuzz-XXXXXX";
        char tmp[] = "/tmp/pelorin-fuzz-XXXXXX";
        const char* root = ::mkdtemp(shm);
        if (root == nullptr) {
            root = ::mkdtemp(tmp);
        }
        if (root == nullptr) {
            std::fputs("fuzz: cannot create a scratch folder\n", stderr);
            std::abort();
        }
        return root;
    }

    sim::FileSystem files_;
    sim::ScopedFileSystem installed_;
};

inline sim::FileSystem& Files() {
    static ScratchFiles scratch;
    return scratch.files();
}

// Aborts with a message, so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

}  // namespace fuzz
