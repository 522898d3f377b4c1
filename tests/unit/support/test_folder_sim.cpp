#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/sim/sim_files.h"
#include "support/test_folder.h"

struct TestFolder::State {
    std::string location;
    sim::FileSystem files;
    sim::ScopedFileSystem installed;

    explicit State(const std::string& where) : location(where), files(where), installed(files) {}
};

namespace {

std::string MakeHostFolder() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) {
        base = "/tmp";
    }
    std::string templ = (base / "pelorin-test-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) {
        throw std::runtime_error("cannot create a test folder in " + base.string());
    }
    return templ;
}

}  // namespace

TestFolder::TestFolder() : state_(std::make_unique<State>(MakeHostFolder())) {}

TestFolder::~TestFolder() {
    const std::string where = state_->location;
    state_.reset();  // uninstall the file system before its folder goes
    std::error_code error;
    std::filesystem::remove_all(where, error);
}

const std::string& TestFolder::location() const {
    return state_->location;
}
